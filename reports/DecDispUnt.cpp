#include "DecDispUnt.h"

#include "Cp1250.h"
#include "OwnSaveFile.h"
#include "Prompts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace DecDispTexts {

namespace {

QString blanks(int n) {
    return QString(n, QLatin1Char(' '));
}

// `lead` blanks, the text, `trail` blanks.
QString line(int lead, const QString& text, int trail = 0) {
    return blanks(lead) + text + blanks(trail);
}

const QString kUnderscores79(79, QLatin1Char('_'));

QString antet() {
    const QStringList lines = {
        QStringLiteral("ROMANIA"),
        QStringLiteral("JUDETUL __________"),
        QStringLiteral("MUNICIPIUL ____________________"),
        blanks(4),
        line(0, QStringLiteral("SERVICIUL PUBLIC DE UTILITATI MUNICIPALE"), 1),
        QStringLiteral("Nr_____________din____________20__"),
        QString(),
        QString(),
        line(48, QStringLiteral("DECIZIE DE IMPUNERE pentru anii __________")),
        line(36, QStringLiteral("pentru stabilirea taxei de intretinere cimitir datorate de "
                                "persoanele fizice")),
    };
    return lines.join(QLatin1Char('\n'));
}

QString preambul() {
    const QStringList lines = {
        line(10,
             QStringLiteral("In conformitate cu prevederile Legii nr. 227/2015 pentru Codul "
                            "fiscal, cu modificarile si"),
             1),
        line(0,
             QStringLiteral("completarile ulterioare, si ale Legii nr. 207/2015 privind Codul de "
                            "procedura fiscala, cu modificarile si"),
             1),
        line(0,
             QStringLiteral("completarile ulterioare, se stabilesc urmatoarele obligatii de plata "
                            "fata de bugetul local al"),
             1),
        QStringLiteral("comunei/orasului/municipiului/sectorului__________________________."),
        QStringLiteral(
            "Motive de fapt____________________________________________________________"),
        line(0,
             QStringLiteral(
                 "Motive de drept___________________________________________________________"),
             1),
    };
    return lines.join(QLatin1Char('\n'));
}

QString completari() {
    const QStringList lines = {
        line(10,
             QStringLiteral("La plata se vor achita si penalitatile aferente conform legislatiei "
                            "in vigoare."),
             1),
        line(10,
             QStringLiteral("Nota: contribuabilul beneficiaza de scutire/ reducere____% de la "
                            "plata impozitelor/ taxelor, in"),
             1),
        QStringLiteral("calitate de ______________"),
        line(10,
             QStringLiteral("Pentru neachitarea impozitelor/ taxelor pana la termenele de mai sus, "
                            "contribuabilii datoreaza"),
             1),
        line(0,
             QStringLiteral("organului fiscal local, incepand cu ziua urmatoare scadentei, "
                            "accesorii in cuantum de ___% pe luna"),
             1),
        line(0, QStringLiteral("sau functie de luna de intarziere pana la data platii."), 1),
        QStringLiteral("Accesoriile reprezinta creante fiscale de plata in sarcina "
                       "contribuabilului."),
        line(10, QStringLiteral("Prezentul titlu de creanta devine titlu executoriu in conditiile "
                                "legii.")),
        line(10, QStringLiteral("Mentiuni privind auditarea contribuabilului:")),
        kUnderscores79,
        line(10,
             QStringLiteral("In conformitate cu prevederile Legii nr. 207/2015 privind Codul de "
                            "procedura fiscala, cu"),
             1),
        line(0,
             QStringLiteral("modificarile si completarile ulterioare, împotriva masurilor dispuse "
                            "prin prezenta se poate face"),
             1),
        line(
            0,
            QStringLiteral("contestatie, care se depune, în termen de 45 zile de la comunicare, la "
                           "organul fiscal local emitent,"),
            1),
        QStringLiteral("sub sanctiunea decaderii."),
        QStringLiteral("Alte mentiuni ale organului fiscal:"),
        kUnderscores79,
        QString(),
        QString(),
        blanks(30) + QStringLiteral("Primar,") + blanks(30) + QStringLiteral("Director SPUM,") +
            blanks(30) + QStringLiteral("Intocmit,"),
        QString(),
        QString(),
        line(101, QStringLiteral("Incheiat azi / data ____________")),
    };
    return lines.join(QLatin1Char('\n'));
}

QByteArray readAll(const QString& path, bool* ok) {
    QFile f(path);
    *ok = false;
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.readAll();
    *ok = f.error() == QFileDevice::NoError;
    return bytes;
}

} // namespace

QString fileName(Section s) {
    switch (s) {
    case Antet:
        return QStringLiteral("DecDispAntet.txt");
    case Preambul:
        return QStringLiteral("DecDispPreambul.txt");
    case Completari:
        return QStringLiteral("DecDispCompletari.txt");
    }
    return {};
}

QString filePath(const QString& programDir, Section s) {
    return programDir + fileName(s);
}

QString defaultText(Section s) {
    switch (s) {
    case Antet:
        return antet();
    case Preambul:
        return preambul();
    case Completari:
        return completari();
    }
    return {};
}

QByteArray toFileBytes(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    t.replace(QChar::LineSeparator, QLatin1Char('\n'));
    if (t.isEmpty())
        return {};
    // Every line ends with CR LF, the last one too: the reader takes one
    // final line end off, so blank lines at the end come back as they were.
    const QStringList lines = t.split(QLatin1Char('\n'));
    QByteArray out;
    for (const QString& l : lines) {
        out += Cp1250::encode(l);
        out += "\r\n";
    }
    return out;
}

QString fromFileBytes(const QByteArray& bytes) {
    QString t = Cp1250::decode(bytes);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (t.endsWith(QLatin1Char('\n')))
        t.chop(1);
    return t;
}

std::optional<QString> load(const QString& programDir, Section s) {
    bool ok = false;
    const QByteArray bytes = readAll(filePath(programDir, s), &ok);
    if (!ok)
        return std::nullopt;
    return fromFileBytes(bytes);
}

bool save(const QString& programDir, Section s, const QString& text) {
    const QString path = filePath(programDir, s);
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || !info.isWritable()))
        return false;
    OwnSaveFile f(path);
    if (!f.open())
        return false;
    const QByteArray bytes = toFileBytes(text);
    if (f.device().write(bytes) != bytes.size())
        return false;
    return f.commit();
}

QString printed(const QString& programDir, Section s) {
    return load(programDir, s).value_or(defaultText(s));
}

} // namespace DecDispTexts

using namespace DecDispTexts;

TDecDispFrm::TDecDispFrm(const QString& programDir, QWidget* parent)
    : QDialog(parent), m_programDir(programDir) {
    setObjectName(QStringLiteral("DecDispFrm"));
    setWindowTitle(QStringLiteral("Configurarea deciziilor/dispozitiilor"));
    auto* layout = new QVBoxLayout(this);
    const std::array<const char*, SectionCount> groups = {"Antet", "Preambul", "Completari"};
    const std::array<const char*, SectionCount> names = {"AntetMemo", "PreambulMemo",
                                                         "CompletariMemo"};
    for (Section s : Sections) {
        auto* box = new QGroupBox(QString::fromLatin1(groups[size_t(s)]), this);
        auto* boxLayout = new QVBoxLayout(box);
        auto* memo = new QPlainTextEdit(box);
        memo->setObjectName(QString::fromLatin1(names[size_t(s)]));
        // The lines are laid out for the page: shown as they print.
        memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setTabChangesFocus(true);
        boxLayout->addWidget(memo);
        layout->addWidget(box, s == Completari ? 3 : 2);
        m_memos[size_t(s)] = memo;
        m_defaults[size_t(s)] = defaultText(s);
        setText(s, m_defaults[size_t(s)]);
    }
    auto* buttons = new QHBoxLayout;
    m_reset = new QPushButton(QStringLiteral("&Seteaza configuratia implicita"), this);
    m_reset->setObjectName(QStringLiteral("ImplicitBtn"));
    m_reset->setToolTip(QStringLiteral("Reinitializeaza textul  deciziilor/dispozitiilor"));
    m_close = new QPushButton(QStringLiteral("&Inchide"), this);
    m_close->setObjectName(QStringLiteral("InchideBtn"));
    m_open = new QPushButton(QStringLiteral("&Deschide"), this);
    m_open->setObjectName(QStringLiteral("DeschideBtn"));
    m_open->setDefault(true);
    buttons->addWidget(m_reset);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    buttons->addWidget(m_open);
    layout->addLayout(buttons);
    connect(m_reset, &QPushButton::clicked, this, &TDecDispFrm::ImplicitBtnClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_open, &QPushButton::clicked, this, &QDialog::accept);
    resize(860, 640);

    for (Section s : Sections) {
        if (const std::optional<QString> saved = load(m_programDir, s))
            setText(s, *saved);
    }
    m_memos[0]->setFocus();
}

QString TDecDispFrm::text(Section s) const {
    return m_memos[size_t(s)]->toPlainText();
}

void TDecDispFrm::setText(Section s, const QString& text) {
    m_memos[size_t(s)]->setPlainText(text);
}

void TDecDispFrm::ImplicitBtnClick() {
    const PromptAnswer a = Prompts::current().message(
        QCoreApplication::applicationName(),
        QStringLiteral("Aceasta operatiune va reinitializa textul deciziilor/dispozitiilor.\n"
                       "Doriti sa continuati?"),
        PromptIcon::Information, PromptButtons::YesNo, PromptAnswer::No);
    if (a != PromptAnswer::Yes)
        return;
    for (Section s : Sections)
        setText(s, m_defaults[size_t(s)]);
}

void TDecDispFrm::accept() {
    // Every text whose file is missing or reads as another text than the
    // one shown is written; one that cannot be written is left, with no
    // message. A file that reads as the text shown is left byte for byte,
    // whatever its line ends.
    for (Section s : Sections) {
        QFile f(filePath(m_programDir, s));
        bool same = QFileInfo(f).isFile() && f.open(QIODevice::ReadOnly);
        if (same) {
            const QByteArray bytes = f.readAll();
            same = f.error() == QFileDevice::NoError && fromFileBytes(bytes) == text(s);
        }
        f.close();
        if (!same)
            save(m_programDir, s, text(s));
    }
    QDialog::accept();
}

bool AskDecisionTexts(QWidget* owner, const QString& programDir) {
    TDecDispFrm dlg(programDir, owner);
    return dlg.exec() == QDialog::Accepted;
}
