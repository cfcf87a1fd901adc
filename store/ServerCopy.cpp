#include "ServerCopy.h"

#include "PgConnection.h"
#include "Schema.h"
#include "SqlText.h"
#include "SqliteConnection.h"
#include "Statement.h"
#include "StoreError.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

// Rows sent in one statement: a round trip to the server per row would
// make a large register take as many round trips as it has rows.
constexpr int kRowsPerStatement = 200;

QString shown(const QString& file) {
    return QDir::toNativeSeparators(file);
}

// The file's register, read in one transaction so that every table is seen
// as of the same moment.
std::unique_ptr<SqliteConnection> openFile(const QString& file) {
    std::unique_ptr<SqliteConnection> source;
    QString problem;
    try {
        source = std::make_unique<SqliteConnection>(file, SqliteConnection::Mode::ReadOnly);
        source->execute(QStringLiteral("BEGIN"));
        Statement check(*source, QStringLiteral("PRAGMA quick_check"));
        if (check.step() && check.text(0) != QLatin1String("ok"))
            problem = check.text(0);
    } catch (const StoreError& e) {
        throw StoreError(
            QStringLiteral("Registrul %1 nu poate fi citit: %2").arg(shown(file), e.message()),
            e.kind(), e.storeText());
    }
    // A damaged file is mended from a daily copy first, not carried over.
    if (!problem.isEmpty())
        throw StoreError(QStringLiteral("Registrul %1 este deteriorat; restaurati intai o copie "
                                        "zilnica buna.\n<%2>")
                             .arg(shown(file), problem),
                         FailureKind::Damaged);
    return source;
}

// The file's name for each of the table's fields it has (an older register
// may lack the fields later versions added), in the register's order.
QList<QPair<QString, QString>> sharedFields(SqliteConnection& source, const QString& stored,
                                            const TableDef& table) {
    const QList<QPair<QString, QString>> present = source.columns(stored);
    QList<QPair<QString, QString>> out; // (name in the file, name on the server)
    for (const FieldDef& f : table.fields) {
        const auto it = std::find_if(present.cbegin(), present.cend(), [&](const auto& c) {
            return c.first.compare(f.name, Qt::CaseInsensitive) == 0;
        });
        if (it != present.cend())
            out.append({it->first, f.name});
    }
    return out;
}

QString insertSql(const QString& table, const QStringList& columns, int rows) {
    QStringList marks(columns.size(), QStringLiteral("?"));
    const QString row = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(quoted(table), columns.join(QStringLiteral(", ")),
             QStringList(rows, row).join(QStringLiteral(", ")));
}

// Copies one table's rows with their row ids, a batch of rows a statement;
// returns how many rows it read.
qint64 copyTable(SqliteConnection& source, const QString& stored, PgConnection& server,
                 const TableDef& table) {
    const QList<QPair<QString, QString>> fields = sharedFields(source, stored, table);
    QStringList read = {QStringLiteral("rowid")};
    QStringList written = {QStringLiteral("rowid")};
    for (const auto& [inFile, onServer] : fields) {
        read << quoted(inFile);
        written << quoted(onServer);
    }
    const int width = int(written.size());
    Statement rows(source, QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                               .arg(read.join(QStringLiteral(", ")), quoted(stored)));
    Statement full(server, insertSql(table.name, written, kRowsPerStatement));
    qint64 count = 0;
    // Bound value by value, never written into the statement's text.
    QVariantList values;
    values.reserve(width * kRowsPerStatement);
    int inBatch = 0;
    while (rows.step()) {
        for (int c = 0; c < width; ++c)
            values.append(rows.value(c));
        ++count;
        if (++inBatch == kRowsPerStatement) {
            full.bindAll(values);
            full.run();
            full.reset();
            values.clear();
            inBatch = 0;
        }
    }
    if (inBatch > 0) {
        Statement last(server, insertSql(table.name, written, inBatch));
        last.bindAll(values);
        last.run();
    }
    return count;
}

qint64 countOf(Connection& db, const QString& table) {
    Statement st(db, QStringLiteral("SELECT count(*) FROM %1").arg(quoted(table)));
    return st.step() ? st.integer(0) : -1;
}

// Every counter the server keeps for a column of the register's tables
// (the row ids, and any running number it gives) continues above the
// copied rows, so that the next row added never takes a copied one's.
void continueCounters(PgConnection& server) {
    Statement owned(server,
                    QStringLiteral("SELECT s.oid::regclass::text, t.relname::text, a.attname::text "
                                   "FROM pg_depend d "
                                   "JOIN pg_class s ON s.oid = d.objid AND s.relkind = 'S' "
                                   "JOIN pg_class t ON t.oid = d.refobjid "
                                   "JOIN pg_attribute a ON a.attrelid = t.oid "
                                   "AND a.attnum = d.refobjsubid "
                                   "WHERE d.classid = 'pg_class'::regclass "
                                   "AND d.refclassid = 'pg_class'::regclass "
                                   "AND d.deptype IN ('a', 'i') "
                                   "AND t.relnamespace = current_schema()::regnamespace"));
    QList<QStringList> counters;
    while (owned.step())
        counters.append({owned.text(0), owned.text(1), owned.text(2)});
    for (const QStringList& c : counters) {
        Statement set(server,
                      QStringLiteral("SELECT setval(?::regclass, "
                                     "COALESCE(ceil(max(%1))::bigint, 0) + 1, false) FROM %2")
                          .arg(quoted(c.at(2)), quoted(c.at(1))));
        set.bind(1, c.at(0));
        set.run();
    }
}

} // namespace

namespace ServerCopy {

Result run(const QString& file, const QString& conninfo) {
    PgConnection server(conninfo); // says itself why it cannot connect
    Result result;
    result.where = server.where();
    for (const TableDef& t : Schema::tables())
        if (const QString stored = server.tableNamed(t.name); !stored.isEmpty())
            throw StoreError(
                QStringLiteral("Baza de date %1 contine deja un registru (tabelul %2). Registrul "
                               "se muta numai intr-o baza de date goala; nu s-a scris nimic.")
                    .arg(result.where, stored));

    std::unique_ptr<SqliteConnection> source;
    if (QFileInfo::exists(file))
        source = openFile(file);
    result.fromFile = source != nullptr;

    server.begin();
    try {
        QStringList names;
        for (const TableDef& t : Schema::tables()) {
            server.createTable(t);
            names << t.name;
            const QString stored = source ? source->tableNamed(t.name) : QString();
            qint64 copied = 0;
            if (!stored.isEmpty()) {
                try {
                    copied = copyTable(*source, stored, server, t);
                } catch (const StoreError& e) {
                    throw StoreError(QStringLiteral("Tabelul %1 nu a putut fi copiat: %2")
                                         .arg(t.name, e.message()),
                                     e.kind(), e.storeText());
                }
                const qint64 inFile = countOf(*source, stored);
                const qint64 onServer = countOf(server, t.name);
                if (copied != inFile || onServer != inFile)
                    throw StoreError(QStringLiteral("Tabelul %1 are %2 randuri in fisier, dar %3 "
                                                    "pe server.")
                                         .arg(t.name)
                                         .arg(inFile)
                                         .arg(onServer));
            }
            result.rows.append({t.name, copied});
        }
        continueCounters(server);
        // The clerks' programs hear each other's saves from the first day,
        // even when they may not make these themselves.
        server.ensureNotifications(names);
        server.execute(QStringLiteral("COMMIT"));
    } catch (const StoreError& e) {
        try {
            server.execute(QStringLiteral("ROLLBACK"));
        } catch (const StoreError&) {
            // A connection that is gone has undone the transaction itself.
        }
        throw StoreError(QStringLiteral("Registrul nu a fost mutat in baza de date %1, care a "
                                        "ramas goala. %2")
                             .arg(result.where, e.message()),
                         e.kind(), e.storeText());
    }
    return result;
}

} // namespace ServerCopy
