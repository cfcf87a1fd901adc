#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Database;

// Brings an office's old table files (Catalog.DB, Concesionari.DB with
// Concesionari.MB, PersInmormantate.DB, Chitante.DB, Unitatea.DB, texts in
// the code page each header names, Central European when it names none)
// into the register. A trial reads everything and lists what cannot come
// over or not as it stands; the import then replaces the register's rows in
// one transaction, keeping the old place numbers (Id_Loc).
class LegacyImport {
public:
    struct TableCount {
        QString file; // the file as found, or the expected name when missing
        int read = 0;
        int imported = 0;
        bool missing = false;
        // Why the table is not read at all (a password, a field of a type
        // the register cannot take); empty when it is read.
        QString refused;
    };
    struct Result {
        QList<TableCount> tables; // in the order Catalog, details, Unitatea
        QStringList problems;     // one line per row that is cut or skipped
        QString backupFile;       // the copy taken before the import
        int skipped = 0;
        // The files read, with their sizes and times: an import after a
        // trial checks that it reads what the user was shown.
        QString sources;
        // The trial report as the user reads and saves it.
        QString report(bool written) const;
        // The files of the tables that are refused, Catalog.DB first.
        QStringList refusedFiles() const;
        bool catalogRefused() const {
            return !tables.isEmpty() && !tables.first().refused.isEmpty();
        }
    };
    enum class Phase { Reading, Writing };
    // Called every few hundred rows; returning false cancels (Abort).
    using Progress = std::function<bool(Phase phase, qint64 done, qint64 total)>;

    explicit LegacyImport(const QString& directory);

    // Reads all the old files, writes nothing. StoreError when a file is
    // missing or cannot be read at all.
    Result trial(const Progress& progress = {}) const;

    // Places already in the register (an import replaces them).
    static int placesInRegister(Database& db);

    // Copies the register under `backupBase` (the daily backup's base
    // path), then replaces its rows with the old files' in one transaction.
    // A failure or a cancel leaves the register exactly as it was. Given
    // the `trial` the user confirmed, files that changed since then (other
    // files, other rows or problems) are refused and nothing is written.
    // A refused Catalog.DB stops the import; other refused tables are left
    // out (their register tables stay empty) only with `withoutRefused`,
    // which the user confirms having seen them in the trial.
    Result run(Database& db, const QString& backupBase, const QDateTime& now,
               const Progress& progress = {}, const Result* trial = nullptr,
               bool withoutRefused = false) const;

    // The file of the directory with this name, case ignored; empty if none.
    QString findFile(const QString& name) const;

private:
    Result pass(Database* db, const Progress& progress, const Result* expected,
                bool withoutRefused) const;
    QString sources() const;

    QString m_dir;
};
