#include "LegacyImportDialog.h"

#include "Database.h"
#include "Prompts.h"
#include "StoreError.h"
#include "Values.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

TImportRaportFrm::TImportRaportFrm(const QString& report, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ImportRaportFrm"));
    setWindowTitle(QStringLiteral("Importul datelor vechi - proba"));
    resize(720, 480);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(new QLabel(
        QStringLiteral("Rezultatul probei. Nimic nu a fost scris inca in registru."), this));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("RaportMemo"));
    m_text->setReadOnly(true);
    m_text->setTabChangesFocus(true); // Tab reaches the buttons
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setPlainText(report);
    lay->addWidget(m_text, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* import =
        buttons->addButton(QStringLiteral("&Importa"), QDialogButtonBox::AcceptRole);
    import->setObjectName(QStringLiteral("ImportaBtn"));
    QPushButton* save =
        buttons->addButton(QStringLiteral("&Salveaza raportul..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("SalveazaBtn"));
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("&Renunta"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("RenuntaBtn"));
    // Enter on the report must not start the import by itself.
    import->setAutoDefault(false);
    save->setAutoDefault(false);
    cancel->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(save, &QPushButton::clicked, this, [this] {
        try {
            SalveazaBtnClick();
        } catch (const StoreError& e) {
            Prompts::error(e.message());
        }
    });
    lay->addWidget(buttons);
    m_text->setFocus();
}

QString TImportRaportFrm::report() const {
    return m_text->toPlainText();
}

void TImportRaportFrm::saveTo(const QString& path) const {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text) ||
        f.write(report().toUtf8()) < 0 || !f.flush())
        throw StoreError(
            QStringLiteral("Nu pot scrie fisierul %1").arg(QDir::toNativeSeparators(path)));
}

void TImportRaportFrm::SalveazaBtnClick() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Salveaza raportul"),
                                     QDir::home().filePath(QStringLiteral("RaportImport.txt")),
                                     QStringLiteral("Fisiere text (*.txt)"));
    if (!path.isEmpty())
        saveTo(path);
}

namespace {

// A progress window with "Renunta"; the work asks it whether to go on.
class ImportProgress {
public:
    ImportProgress(QWidget* parent, const QString& text)
        : m_dlg(text, QStringLiteral("Renunta"), 0, 1000, parent) {
        m_dlg.setObjectName(QStringLiteral("ImportProgress"));
        m_dlg.setWindowTitle(QApplication::applicationName());
        m_dlg.setWindowModality(Qt::WindowModal);
        m_dlg.setMinimumDuration(300);
        m_dlg.setAutoClose(false);
        m_dlg.setAutoReset(false);
        m_dlg.setValue(0);
    }
    LegacyImport::Progress callback() {
        return [this](LegacyImport::Phase, qint64 done, qint64 total) {
            m_dlg.setValue(total > 0 ? int(done * 1000 / total) : 0);
            return !m_dlg.wasCanceled();
        };
    }

private:
    QProgressDialog m_dlg;
};

} // namespace

namespace LegacyImportDialog {

QString chooseDirectory(QWidget* parent) {
    return QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Directorul cu fisierele vechi (Catalog.DB ...)"), QDir::homePath());
}

bool run(QWidget* parent, Database& db, const QString& directory, const QString& backupBase) {
    const LegacyImport import(directory);
    LegacyImport::Result trial;
    {
        WaitCursor wait;
        ImportProgress progress(parent, QStringLiteral("Citesc fisierele vechi..."));
        trial = import.trial(progress.callback()); // cancel throws Abort
    }
    TImportRaportFrm report(trial.report(false), parent);
    if (report.exec() != QDialog::Accepted)
        return false;
    if (trial.catalogRefused()) {
        Prompts::warning(QStringLiteral("%1 nu se poate importa: %2.")
                             .arg(trial.tables.first().file, trial.tables.first().refused));
        return false;
    }
    const QStringList refused = trial.refusedFiles();
    if (!refused.isEmpty() &&
        Prompts::current().message(
            QApplication::applicationName(),
            QStringLiteral("%1 nu se poate importa (vedeti proba). Importati celelalte tabele "
                           "fara el? In registru tabelul lui va ramane gol.")
                .arg(refused.join(QStringLiteral(", "))),
            PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        return false;
    const int existing = LegacyImport::placesInRegister(db);
    if (existing > 0 &&
        Prompts::current().message(
            QApplication::applicationName(),
            QStringLiteral("Registrul contine deja %1. Toate datele din registru vor fi "
                           "inlocuite cu cele importate (se face mai intai o copie de siguranta). "
                           "Doriti sa continuati?")
                .arg(Values::countText(existing, QStringLiteral("un loc"),
                                       QStringLiteral("locuri"))),
            PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        return false;
    LegacyImport::Result done;
    {
        WaitCursor wait;
        ImportProgress progress(parent, QStringLiteral("Import in curs..."));
        done = import.run(db, backupBase, QDateTime::currentDateTime(), progress.callback(), &trial,
                          !refused.isEmpty());
    }
    int places = 0;
    if (!done.tables.isEmpty())
        places = done.tables.first().imported;
    Prompts::information(QStringLiteral("Importul s-a incheiat: %1.\n"
                                        "Copia registrului dinainte de import: %2")
                             .arg(Values::countText(places, QStringLiteral("un loc importat"),
                                                    QStringLiteral("locuri importate")),
                                  done.backupFile));
    return true;
}

} // namespace LegacyImportDialog
