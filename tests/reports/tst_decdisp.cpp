#include "Cp1250.h"
#include "DecDispUnt.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

using namespace DecDispTexts;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A file's time set back, so that a rewrite shows.
const QDateTime kOld(QDate(2020, 1, 1), QTime(12, 0));
void age(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(kOld, QFileDevice::FileModificationTime));
}
bool rewritten(const QString& path) {
    return QFileInfo(path).lastModified() != kOld;
}

// Once the dialog is up, makes it the active window and hands it to
// `keys`; a dialog the keys leave open is closed, so the test fails
// instead of hanging.
std::shared_ptr<bool> answerDialog(std::function<void(TDecDispFrm*)> keys) {
    auto closedByKeys = std::make_shared<bool>(false);
    QTimer::singleShot(0, [keys, closedByKeys] {
        TDecDispFrm* dlg = nullptr;
        for (int i = 0; i < 100 && !dlg; ++i) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<TDecDispFrm*>(w); d && d->isVisible())
                    dlg = d;
            }
            if (!dlg)
                QTest::qWait(20);
        }
        if (!dlg)
            return;
        dlg->activateWindow();
        QApplication::setActiveWindow(dlg);
        if (!QTest::qWaitForWindowActive(dlg))
            qWarning("the dialog did not become active");
        keys(dlg);
        *closedByKeys = !dlg->isVisible();
        if (!*closedByKeys)
            dlg->done(-1);
    });
    return closedByKeys;
}

} // namespace

class TestDecDisp : public QObject {
    Q_OBJECT
private slots:
    void defaultTexts();
    void codePage();
    void fileLines();
    void dialogShowsFilesOrDefaults();
    void confirmWritesMissingFiles();
    void confirmWritesOnlyWhatDiffers();
    void confirmKeepsUnchangedFilesByteForByte();
    void cancelWritesNothing();
    void resetThenConfirmWritesDefaults();
    void resetDeclinedKeepsTexts();
    void unwritableFileSkippedSilently();
    void printedTexts();
    void askByKeyboard();
};

void TestDecDisp::defaultTexts() {
    const QStringList antet = defaultText(Antet).split(QLatin1Char('\n'));
    const QStringList pre = defaultText(Preambul).split(QLatin1Char('\n'));
    const QStringList comp = defaultText(Completari).split(QLatin1Char('\n'));
    QCOMPARE(antet.size(), 10);
    QCOMPARE(pre.size(), 6);
    QCOMPARE(comp.size(), 22);
    // Blanks are part of the lines.
    QCOMPARE(antet[3], QStringLiteral("    "));
    QCOMPARE(antet[4], QStringLiteral("SERVICIUL PUBLIC DE UTILITATI MUNICIPALE "));
    QVERIFY(antet[6].isEmpty() && antet[7].isEmpty());
    QCOMPARE(antet[8], QString(48, ' ') + "DECIZIE DE IMPUNERE pentru anii __________");
    QVERIFY(antet[9].startsWith(QString(36, ' ') + "pentru stabilirea"));
    QVERIFY(pre[0].startsWith(QString(10, ' ') + "In conformitate") && pre[0].endsWith("si "));
    QVERIFY(!pre[3].endsWith(' ') && pre[5].endsWith("___ "));
    QCOMPARE(comp[9], QString(79, '_'));
    QCOMPARE(comp[15], QString(79, '_'));
    QCOMPARE(comp[18], QString(30, ' ') + "Primar," + QString(30, ' ') + "Director SPUM," +
                           QString(30, ' ') + "Intocmit,");
    QCOMPARE(comp[21], QString(101, ' ') + "Incheiat azi / data ____________");
    QVERIFY(comp[11].contains(QStringLiteral("împotriva")));
    QVERIFY(comp[12].contains(QStringLiteral("în termen de 45 zile")));
    for (int i : {16, 17, 19, 20})
        QVERIFY(comp[i].isEmpty());
}

void TestDecDisp::codePage() {
    // Romanian letters: comma-below s and t are written as their cedilla forms.
    QCOMPARE(Cp1250::encode(QStringLiteral("ăâîșțĂÂÎȘȚşţŞŢ")),
             QByteArray("\xE3\xE2\xEE\xBA\xFE\xC3\xC2\xCE\xAA\xDE\xBA\xFE\xAA\xDE"));
    QCOMPARE(Cp1250::decode("\xBA\xFE\xAA\xDE"), QStringLiteral("şţŞŢ"));
    QCOMPARE(Cp1250::encode(QStringLiteral("€ – „x”")), QByteArray("\x80 \x96 \x84x\x94"));
    // What the page lacks becomes one '?' per character.
    QCOMPARE(Cp1250::encode(QStringLiteral("a日b😀c")), QByteArray("a?b?c"));
    // Every byte reads as a character that writes back as the same byte.
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all += char(b);
    const QString read = Cp1250::decode(all);
    QCOMPARE(read.size(), all.size());
    QCOMPARE(Cp1250::encode(read), all);
}

void TestDecDisp::fileLines() {
    QCOMPARE(toFileBytes(QStringLiteral("a\nb")), QByteArray("a\r\nb\r\n"));
    QCOMPARE(toFileBytes(QStringLiteral("a\nb\n")), QByteArray("a\r\nb\r\n\r\n"));
    QCOMPARE(toFileBytes(QStringLiteral("  x \n\n")), QByteArray("  x \r\n\r\n\r\n"));
    QCOMPARE(toFileBytes(QString()), QByteArray());
    QCOMPARE(toFileBytes(QStringLiteral("ț")), QByteArray("\xFE\r\n"));
    // Files written by other programs: any line end, last one optional.
    QCOMPARE(fromFileBytes("a\r\nb\r\n"), QStringLiteral("a\nb"));
    QCOMPARE(fromFileBytes("a\nb"), QStringLiteral("a\nb"));
    QCOMPARE(fromFileBytes("a\rb\r\n\r\n"), QStringLiteral("a\nb\n"));
    QCOMPARE(fromFileBytes("\xE3\xBA"), QStringLiteral("ăş"));
    // The defaults survive the round trip unchanged.
    for (Section s : Sections)
        QCOMPARE(fromFileBytes(toFileBytes(defaultText(s))), defaultText(s));
    // Files in the program's own form come back byte for byte, blank lines
    // at the end included, however often they are read and written.
    for (const QByteArray& file :
         {QByteArray("Antet\r\n\r\n\r\n"), QByteArray("Antet\r\n"), QByteArray("\r\n\r\na\r\n"),
          QByteArray("a\r\n \r\n\r\n\r\n\r\n"), QByteArray("\xFE\r\n\r\n"), QByteArray()}) {
        QByteArray b = file;
        for (int i = 0; i < 3; ++i)
            b = toFileBytes(fromFileBytes(b));
        QCOMPARE(b, file);
    }
}

void TestDecDisp::confirmKeepsUnchangedFilesByteForByte() {
    // Blank lines at the end, other programs' line ends, no final line end.
    TempProgramDir dir;
    const QByteArray files[] = {"Antet\r\n\r\n\r\n", "Preambul\nrand\n\n", "Completari\r\nfara"};
    for (Section s : Sections)
        writeBytes(dir.file(fileName(s)), files[int(s)]);
    for (int run = 0; run < 2; ++run) {
        TDecDispFrm dlg(dir.path());
        if (run == 1) // another text changed: the others stay as they are
            dlg.memo(Completari)->setPlainText(QStringLiteral("Completari\nnou"));
        dlg.openButton()->click();
    }
    QCOMPARE(bytesOf(dir.file("DecDispAntet.txt")), files[0]);
    QCOMPARE(bytesOf(dir.file("DecDispPreambul.txt")), files[1]);
    QCOMPARE(bytesOf(dir.file("DecDispCompletari.txt")), QByteArray("Completari\r\nnou\r\n"));
}

void TestDecDisp::dialogShowsFilesOrDefaults() {
    TempProgramDir dir;
    writeBytes(dir.file("DecDispPreambul.txt"), "Preambul \xBA\r\n  al doilea\r\n");
    TDecDispFrm dlg(dir.path());
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Configurarea deciziilor/dispozitiilor"));
    QCOMPARE(dlg.text(Antet), defaultText(Antet));
    QCOMPARE(dlg.text(Preambul), QStringLiteral("Preambul ş\n  al doilea"));
    QCOMPARE(dlg.text(Completari), defaultText(Completari));
    QCOMPARE(dlg.memo(Antet)->objectName(), QStringLiteral("AntetMemo"));
    QCOMPARE(dlg.resetButton()->toolTip(),
             QStringLiteral("Reinitializeaza textul  deciziilor/dispozitiilor"));
}

void TestDecDisp::confirmWritesMissingFiles() {
    // No file yet: the defaults shown are what the decisions must print.
    TempProgramDir dir;
    TDecDispFrm dlg(dir.path());
    dlg.openButton()->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    for (Section s : Sections)
        QCOMPARE(bytesOf(dir.file(fileName(s))), toFileBytes(defaultText(s)));
    const QByteArray antet = bytesOf(dir.file("DecDispAntet.txt"));
    QVERIFY(antet.startsWith("ROMANIA\r\nJUDETUL __________\r\n"));
    QVERIFY(antet.endsWith("persoanele fizice\r\n"));
    QCOMPARE(antet.count("\r\n"), 10);
    QCOMPARE(antet.count('\n'), 10);
    // "î" of the closing text in the code page.
    QVERIFY(bytesOf(dir.file("DecDispCompletari.txt")).contains("\xEEmpotriva"));
}

void TestDecDisp::confirmWritesOnlyWhatDiffers() {
    TempProgramDir dir;
    for (Section s : Sections) {
        writeBytes(dir.file(fileName(s)), toFileBytes(QStringLiteral("Text %1").arg(int(s))));
        age(dir.file(fileName(s)));
    }
    TDecDispFrm dlg(dir.path());
    QCOMPARE(dlg.text(Preambul), QStringLiteral("Text 1"));
    dlg.memo(Antet)->setFocus();
    dlg.memo(Antet)->moveCursor(QTextCursor::End);
    QTest::keyClicks(dlg.memo(Antet), QStringLiteral(" jude"));
    QKeyEvent t(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("ț"));
    QApplication::sendEvent(dlg.memo(Antet), &t);
    dlg.openButton()->click();
    QCOMPARE(bytesOf(dir.file("DecDispAntet.txt")), QByteArray("Text 0 jude\xFE\r\n"));
    QVERIFY(rewritten(dir.file("DecDispAntet.txt")));
    QVERIFY(!rewritten(dir.file("DecDispPreambul.txt")));
    QVERIFY(!rewritten(dir.file("DecDispCompletari.txt")));
}

void TestDecDisp::cancelWritesNothing() {
    TempProgramDir dir;
    writeBytes(dir.file("DecDispAntet.txt"), "vechi\r\n");
    TDecDispFrm dlg(dir.path());
    dlg.memo(Antet)->setPlainText(QStringLiteral("nou"));
    dlg.closeButton()->click();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(bytesOf(dir.file("DecDispAntet.txt")), QByteArray("vechi\r\n"));
    QVERIFY(!QFile::exists(dir.file("DecDispPreambul.txt")));
    QVERIFY(!QFile::exists(dir.file("DecDispCompletari.txt")));
}

void TestDecDisp::resetThenConfirmWritesDefaults() {
    TempProgramDir dir;
    for (Section s : Sections)
        writeBytes(dir.file(fileName(s)), "text vechi\r\n");
    ScriptedPrompts prompts;
    prompts.queueAnswer(PromptAnswer::Yes);
    TDecDispFrm dlg(dir.path());
    QCOMPARE(dlg.text(Completari), QStringLiteral("text vechi"));
    dlg.resetButton()->click();
    QCOMPARE(prompts.shown().size(), 1);
    const auto& q = prompts.shown().first();
    QCOMPARE(q.text, QStringLiteral("Aceasta operatiune va reinitializa textul "
                                    "deciziilor/dispozitiilor.\nDoriti sa continuati?"));
    QCOMPARE(q.icon, PromptIcon::Information);
    QCOMPARE(q.buttons, PromptButtons::YesNo);
    QCOMPARE(q.defaultAnswer, PromptAnswer::No);
    for (Section s : Sections)
        QCOMPARE(dlg.text(s), defaultText(s));
    dlg.openButton()->click();
    for (Section s : Sections)
        QCOMPARE(bytesOf(dir.file(fileName(s))), toFileBytes(defaultText(s)));
}

void TestDecDisp::resetDeclinedKeepsTexts() {
    TempProgramDir dir;
    ScriptedPrompts prompts;
    prompts.queueAnswer(PromptAnswer::No);
    TDecDispFrm dlg(dir.path());
    dlg.memo(Preambul)->setPlainText(QStringLiteral("scris de mana"));
    dlg.resetButton()->click();
    QCOMPARE(dlg.text(Preambul), QStringLiteral("scris de mana"));
}

void TestDecDisp::unwritableFileSkippedSilently() {
    TempProgramDir dir;
    // A directory where the header's file should be: it can be neither read
    // nor replaced, whoever runs the test.
    QVERIFY(QDir(dir.path()).mkdir("DecDispAntet.txt"));
    ScriptedPrompts prompts;
    TDecDispFrm dlg(dir.path());
    QCOMPARE(dlg.text(Antet), defaultText(Antet));
    dlg.openButton()->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(prompts.shown().isEmpty());
    QVERIFY(QFileInfo(dir.file("DecDispAntet.txt")).isDir());
    QCOMPARE(bytesOf(dir.file("DecDispPreambul.txt")), toFileBytes(defaultText(Preambul)));
    QCOMPARE(bytesOf(dir.file("DecDispCompletari.txt")), toFileBytes(defaultText(Completari)));
    // No temporary file left behind by the failed write.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestDecDisp::printedTexts() {
    TempProgramDir dir;
    QCOMPARE(printed(dir.path(), Antet), defaultText(Antet));
    writeBytes(dir.file("DecDispAntet.txt"), QByteArray());
    QCOMPARE(printed(dir.path(), Antet), QString()); // an empty file is an empty text
    QVERIFY(save(dir.path(), Completari, QStringLiteral("Ștampila")));
    QCOMPARE(printed(dir.path(), Completari), QStringLiteral("Ştampila"));
}

void TestDecDisp::askByKeyboard() {
    TempProgramDir dir;
    // Escape closes without writing.
    auto closed =
        answerDialog([](TDecDispFrm* dlg) { QTest::keyClick(dlg->memo(Antet), Qt::Key_Escape); });
    QVERIFY(!AskDecisionTexts(nullptr, dir.path()));
    QVERIFY(*closed);
    QVERIFY(!QFile::exists(dir.file("DecDispAntet.txt")));
    // Typed text, then "&Deschide".
    closed = answerDialog([](TDecDispFrm* dlg) {
        QTest::keyClicks(dlg->memo(Antet), QStringLiteral("X"));
        dlg->openButton()->click();
    });
    QVERIFY(AskDecisionTexts(nullptr, dir.path()));
    QVERIFY(*closed);
    QVERIFY(bytesOf(dir.file("DecDispAntet.txt")).startsWith("XROMANIA\r\n"));
}

QTEST_MAIN(TestDecDisp)
#include "tst_decdisp.moc"
