#pragma once

#include "LegacyImport.h"

#include <QDialog>

class Database;
class QPlainTextEdit;
class QPushButton;

// The trial's report, for the user to read and save before confirming the
// import: "Importa" accepts, "Renunta" (or Esc) declines.
class TImportRaportFrm : public QDialog {
    Q_OBJECT
public:
    TImportRaportFrm(const QString& report, QWidget* parent = nullptr);
    QString report() const;
    // Writes the report as UTF-8 text; StoreError when it cannot.
    void saveTo(const QString& path) const;

private:
    void SalveazaBtnClick();

    QPlainTextEdit* m_text = nullptr;
};

// The menu command "Sistem" -> "Importa datele vechi...", minus the choice
// of the directory: trial under a progress window with cancel, the report,
// the confirmation when the register already holds places, the import
// under a progress window, the closing message. Returns true when the
// register's rows were replaced.
namespace LegacyImportDialog {
QString chooseDirectory(QWidget* parent);
bool run(QWidget* parent, Database& db, const QString& directory, const QString& backupBase);
} // namespace LegacyImportDialog
