// Qt's own dialogs, as the clerk meets them, speak Romanian once the
// program's catalogue is installed.
#include "QtTranslation.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QtTest>

namespace {

// Every text a dialog shows on its labels, buttons and frames.
QStringList textsOf(const QWidget& w) {
    QStringList out;
    for (const QLabel* l : w.findChildren<QLabel*>())
        out << l->text();
    for (const QAbstractButton* b : w.findChildren<QAbstractButton*>())
        out << b->text();
    for (const QGroupBox* g : w.findChildren<QGroupBox*>())
        out << g->title();
    return out;
}

} // namespace

class TestQtTranslation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QtTranslation::install()); }

    void theDialogsTheClerkMeetsAreInRomanian() {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Yes | QDialogButtonBox::No);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("&Renunta"));
        QCOMPARE(box.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Da"));
        QCOMPARE(box.button(QDialogButtonBox::No)->text(), QStringLiteral("&Nu"));

        QFileDialog files(nullptr, QStringLiteral("Salveaza PDF"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.setAcceptMode(QFileDialog::AcceptSave);
        QVERIFY2(textsOf(files).contains(QStringLiteral("Cauta in:")),
                 qPrintable(textsOf(files).join('|')));
        QVERIFY(textsOf(files).contains(QStringLiteral("&Numele fisierului:")));

        QFontDialog font;
        font.setOption(QFontDialog::DontUseNativeDialog);
        QVERIFY2(textsOf(font).contains(QStringLiteral("&Stil")),
                 qPrintable(textsOf(font).join('|')));

        QPrinter printer;
        QPrintDialog print(&printer);
        const QStringList printTexts = textsOf(print);
        QVERIFY2(printTexts.contains(QStringLiteral("Imprimanta")) &&
                     printTexts.contains(QStringLiteral("Exemplare:")),
                 qPrintable(printTexts.join('|')));
        QVERIFY(!printTexts.contains(QStringLiteral("Printer")));

        QPageSetupDialog page(&printer);
        const QStringList pageTexts = textsOf(page);
        QVERIFY2(pageTexts.contains(QStringLiteral("Orientare")) &&
                     pageTexts.contains(QStringLiteral("Peisaj")),
                 qPrintable(pageTexts.join('|')));
    }
};

QTEST_MAIN(TestQtTranslation)
#include "tst_qttranslation.moc"
