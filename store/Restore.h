#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLockFile>
#include <QString>
#include <functional>

class Database;

// Bringing back one of the daily copies in place of the register. The
// register as it stood is kept first, in a directory of its own beside the
// daily ones (<root>/SalvariQuarvenn/<yyyymmdd>-<hhmmss>-inainte-de-restaurare);
// the copy is then written beside the register and put in its place by a
// rename, so that the register is at every moment either the old one or
// the restored one, whole.
namespace Restore {

// What a register file holds, as far as a clerk cares.
struct Contents {
    qint64 places = -1;
    qint64 concessions = -1;
    qint64 buried = -1;
    qint64 receipts = -1;
};

struct DailyCopy {
    QDate day;
    QString path; // native separators
    qint64 size = 0;
    QDateTime written; // when the copy was made
    Contents contents;
    bool intact = false; // passes SQLite's integrity check and holds the places' table
    QString problem;     // why it cannot be restored, when it cannot
};

// Reads a register file without writing to it: its counts and whether it
// passes SQLite's integrity check.
DailyCopy inspect(const QString& path);

// The daily copies of `fileName` under `basePath`, newest first, each
// inspected. `progress` (done, total) is asked after each one; false stops
// the listing with Abort.
QList<DailyCopy> list(const QString& basePath, const QString& fileName,
                      const std::function<bool(int done, int total)>& progress = {});

// The daily copy of `day` alone, inspected; `day` invalid when there is none.
DailyCopy copyOf(const QString& basePath, const QString& fileName, const QDate& day);

// The counts of the register open in `db`.
Contents contentsOf(Database& db);

// What restoring `copy` loses, for the confirmation: the register now
// against the copy.
QString lossText(const Contents& now, const DailyCopy& copy);

// The moments of a restore, for a caller that shows them (and for the test
// that stops a restore half-way).
enum class Step { KeptCurrent, CopiedBeside, Replaced };

// Restores `copy` in place of the register of `db` (open or not; open
// again afterwards when it was open). Returns where the register as it
// stood was kept. A damaged copy, a register another program holds, or a
// copy that cannot be written raise StoreError, and the register stays as
// it was. The caller brings the restored register to the current
// structure and reopens its tables.
QString run(Database& db, const DailyCopy& copy, const QString& basePath, const QDateTime& now,
            const std::function<void(Step)>& step = {});

// Whole or complete but left beside the register by a restore that was
// stopped: removed before the next one.
QString besidePath(const QString& registerFile);

// Held beside the register by the window for its whole run, and by a
// restore from the terminal: a restore never renames a copy over a file
// that another running Tombrix still has open (it would go on writing to
// the old, deleted file). A lock left by a program that died is taken over.
class InUseLock {
public:
    explicit InUseLock(const QString& registerFile);
    bool held() const { return m_held; }
    // Why a restore is refused while another program holds the register.
    static QString refusal(const QString& registerFile);

private:
    QLockFile m_lock;
    bool m_held = false;
};

} // namespace Restore
