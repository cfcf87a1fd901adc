#pragma once

#include "Restore.h"

#include <QDialog>
#include <functional>

class Database;
class QPushButton;
class QTableWidget;

// The daily copies, newest first: day, size, places, and whether the copy
// passes SQLite's integrity check. A damaged copy shows but cannot be
// chosen. "Restaureaza" (Enter) accepts the chosen one, "Renunta" (Esc)
// declines.
class TRestoreFrm : public QDialog {
    Q_OBJECT
public:
    TRestoreFrm(const QList<Restore::DailyCopy>& copies, QWidget* parent = nullptr);
    // The chosen copy's index in the list; -1 when none can be chosen.
    int chosen() const;

    QTableWidget* CopiiGrid = nullptr;
    QPushButton* RestaureazaBtn = nullptr;

private:
    QList<Restore::DailyCopy> m_copies;
};

// The menu command "Sistem" -> "Restaureaza o copie zilnica...": the list,
// the choice, the confirmation that says what is lost, the restore. The
// main window's `closeTables` runs before the register is replaced and
// `reopen` after it (also when the restore failed, on the register as it
// then stands). Returns true when a copy was restored.
namespace RestoreDialog {
bool run(QWidget* parent, Database& db, const QString& backupBase,
         const std::function<void()>& closeTables, const std::function<void()>& reopen);
}
