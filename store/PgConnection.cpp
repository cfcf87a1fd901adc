#include "PgConnection.h"

#include "Schema.h"
#include "SqlText.h"
#include "Statement.h"
#include "StoreFailure.h"

#include <QHash>
#include <QSet>
#include <functional>
#include <libpq-fe.h>
#include <vector>

namespace {

// Type ids of the server's built-in types, as its catalogue fixes them.
constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

struct ResultFree {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

class PgStatement : public StatementCore {
public:
    PgStatement(PgConnection& owner, const QString& sql) : m_owner(owner) {
        m_sql = PgConnection::numberParameters(sql, &m_names, &m_aliases).toUtf8();
        // An insert hands back the row id it gave, as the file's rowid does.
        const QByteArray head = m_sql.trimmed().left(6).toUpper();
        if (head == "INSERT" && !m_sql.toUpper().contains("RETURNING")) {
            m_sql += " RETURNING rowid";
            m_returnsId = true;
        }
        m_values.resize(m_names.size());
        m_null.assign(m_names.size(), true);
        m_types.assign(m_names.size(), 0);
        m_formats.assign(m_names.size(), 0);
    }

    int parameterCount() const override { return int(m_names.size()); }
    int parameterIndex(const QString& name) const override {
        const QString bare = name.startsWith(QLatin1Char(':')) ? name.mid(1) : name;
        for (int i = 0; i < m_names.size(); ++i)
            if (m_names.at(i).compare(bare, Qt::CaseInsensitive) == 0)
                return i + 1;
        return 0;
    }
    void bindNull(int at) override { set(at, QByteArray(), 0, true); }
    void bindInteger(int at, qint64 v) override { set(at, QByteArray::number(v), kInt8); }
    void bindReal(int at, double v) override { set(at, QByteArray::number(v, 'g', 17), kFloat8); }
    void bindText(int at, const QString& v) override { set(at, v.toUtf8(), 0); }
    void bindBlob(int at, const QByteArray& v) override {
        set(at, v, kBytea);
        m_formats[size_t(at - 1)] = 1;
    }

    bool step() override {
        if (!m_result) {
            run();
            m_row = m_returnsId ? PQntuples(m_result.get()) : -1;
        }
        if (++m_row < PQntuples(m_result.get()))
            return true;
        m_row = PQntuples(m_result.get());
        return false;
    }
    void reset() override {
        m_result.reset();
        m_row = -1;
    }

    int columnCount() const override {
        // A query's result names its columns even without rows: running it
        // now costs one round trip to the server where describing costs two.
        if (!m_result && !m_described) {
            auto* self = const_cast<PgStatement*>(this);
            if (writes())
                self->describe();
            else
                self->run();
        }
        const PGresult* r = m_result ? m_result.get() : m_described.get();
        return r ? PQnfields(r) : 0;
    }
    QString columnName(int c) const override {
        const QString name =
            QString::fromUtf8(PQfname(m_result ? m_result.get() : m_described.get(), c));
        return m_aliases.value(name, name);
    }
    ColumnKind columnKind(int c) const override {
        if (PQgetisnull(m_result.get(), m_row, c))
            return ColumnKind::Null;
        switch (PQftype(m_result.get(), c)) {
        case kInt2:
        case kInt4:
        case kInt8:
        case kBool:
            return ColumnKind::Integer;
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return ColumnKind::Real;
        case kBytea:
            return ColumnKind::Blob;
        default:
            return ColumnKind::Text;
        }
    }
    qint64 columnInteger(int c) const override {
        const char* v = PQgetvalue(m_result.get(), m_row, c);
        if (PQftype(m_result.get(), c) == kBool)
            return v[0] == 't' ? 1 : 0;
        return QByteArray(v).toLongLong();
    }
    double columnReal(int c) const override {
        return QByteArray(PQgetvalue(m_result.get(), m_row, c)).toDouble();
    }
    QByteArrayView columnBytes(int c) const override {
        if (PQftype(m_result.get(), c) == kBytea) {
            size_t n = 0;
            unsigned char* raw = PQunescapeBytea(
                reinterpret_cast<const unsigned char*>(PQgetvalue(m_result.get(), m_row, c)), &n);
            m_blob = QByteArray(reinterpret_cast<const char*>(raw), qsizetype(n));
            PQfreemem(raw);
            return m_blob;
        }
        return QByteArrayView(PQgetvalue(m_result.get(), m_row, c),
                              PQgetlength(m_result.get(), m_row, c));
    }
    void cell(int c, Cell* out) const override {
        out->kind = columnKind(c);
        switch (out->kind) {
        case ColumnKind::Integer:
            out->integer = columnInteger(c);
            break;
        case ColumnKind::Real:
            out->real = columnReal(c);
            break;
        case ColumnKind::Text:
        case ColumnKind::Blob:
            out->bytes = columnBytes(c);
            break;
        case ColumnKind::Null:
            break;
        }
    }
    bool writes() const override {
        const QByteArray head = m_sql.trimmed().left(7).toUpper();
        return !(head.startsWith("SELECT") || head.startsWith("WITH") || head.startsWith("SHOW"));
    }

private:
    void set(int at, const QByteArray& value, Oid type, bool null = false) {
        if (at < 1 || at > m_names.size())
            throw StoreError(QStringLiteral("Parametrul %1 nu exista in interogare").arg(at));
        const size_t i = size_t(at - 1);
        m_values[i] = value;
        m_null[i] = null;
        m_types[i] = type;
        m_formats[i] = 0;
        m_result.reset();
    }

    std::vector<const char*> pointers(std::vector<int>* lengths) const {
        std::vector<const char*> p(m_values.size());
        lengths->resize(m_values.size());
        for (size_t i = 0; i < p.size(); ++i) {
            p[i] = m_null[i] ? nullptr : m_values[i].constData();
            (*lengths)[i] = int(m_values[i].size());
        }
        return p;
    }

    void run() {
        std::vector<int> lengths;
        const std::vector<const char*> values = pointers(&lengths);
        m_result.reset(PQexecParams(m_owner.live(), m_sql.constData(), int(values.size()),
                                    m_types.data(), values.data(), lengths.data(), m_formats.data(),
                                    0));
        check();
        const char* changed = PQcmdTuples(m_result.get());
        const bool gaveId = m_returnsId && PQntuples(m_result.get()) == 1;
        m_owner.noteResult(changed && *changed ? QByteArray(changed).toLongLong() : 0,
                           gaveId ? QByteArray(PQgetvalue(m_result.get(), 0, 0)).toLongLong() : -1);
    }

    // The result's columns before the first step, without running it.
    void describe() {
        Result prepared(
            PQprepare(m_owner.live(), "", m_sql.constData(), int(m_types.size()), m_types.data()));
        Result described(PQdescribePrepared(m_owner.handle(), ""));
        if (PQresultStatus(described.get()) == PGRES_COMMAND_OK)
            m_described = std::move(described);
    }

    void check() {
        const ExecStatusType status = PQresultStatus(m_result.get());
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return;
        const char* state = PQresultErrorField(m_result.get(), PG_DIAG_SQLSTATE);
        const QString text = QString::fromUtf8(PQresultErrorMessage(m_result.get())).trimmed();
        const bool ok = PQstatus(m_owner.handle()) == CONNECTION_OK;
        m_result.reset();
        throw StoreFailure::error(m_owner.where(),
                                  PgConnection::classify(QByteArray(state ? state : ""), ok), text);
    }

    PgConnection& m_owner;
    QByteArray m_sql;
    QStringList m_names;
    QHash<QString, QString> m_aliases; // result names as the server gives them -> as written
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
    std::vector<Oid> m_types;
    std::vector<int> m_formats;
    Result m_result;
    Result m_described; // the columns, known before the statement runs
    int m_row = -1;
    bool m_returnsId = false;
    mutable QByteArray m_blob;
};

} // namespace

namespace {

std::function<QString(const QString&, const QString&, bool)> g_askPassword;

QString quotedValue(const char* v) {
    return QString::fromUtf8(v && *v ? v : "");
}

} // namespace

void PgConnection::setPasswordPrompt(
    std::function<QString(const QString&, const QString&, bool)> ask) {
    g_askPassword = std::move(ask);
}

QString PgConnection::connectFailure(const QString& server, const QString& database,
                                     const QString& user, const QString& text) {
    const QString lower = text.toLower();
    if (lower.contains(QLatin1String("password authentication failed")) ||
        lower.contains(QLatin1String("no password supplied")))
        return QStringLiteral("Parola utilizatorului %1 nu a fost primita de serverul %2 (baza de "
                              "date %3). Verificati parola si porniti din nou programul.")
            .arg(user, server, database);
    if (lower.contains(QLatin1String("database \"")) &&
        lower.contains(QLatin1String("does not exist")))
        return QStringLiteral("Baza de date %1 nu exista pe serverul %2. Verificati numele din "
                              "fisierul Tombrix.conn sau cereti administratorului serverului sa o "
                              "creeze.")
            .arg(database, server);
    if (lower.contains(QLatin1String("role \"")) && lower.contains(QLatin1String("does not exist")))
        return QStringLiteral("Utilizatorul %1 nu este cunoscut de serverul %2 (baza de date %3). "
                              "Cereti administratorului serverului un cont.")
            .arg(user, server, database);
    if (lower.contains(QLatin1String("permission denied")) ||
        lower.contains(QLatin1String("no pg_hba.conf entry")))
        return QStringLiteral("Serverul %1 nu ii permite utilizatorului %2 sa se conecteze la baza "
                              "de date %3. Cereti drept de acces administratorului serverului.")
            .arg(server, user, database);
    return QStringLiteral("Serverul %1 nu poate fi contactat (baza de date %2). Verificati ca "
                          "serverul este pornit si ca acest calculator este legat la retea, apoi "
                          "porniti din nou programul.")
        .arg(server, database);
}

PgConnection::PgConnection(const QString& conninfo) {
    const QByteArray info = conninfo.toUtf8();
    m_conn = PQconnectdb(info.constData());
    // libpq found no password of its own (~/.pgpass, a service file): the
    // clerk types it, and it lives only in this connection.
    for (int tries = 0; PQstatus(m_conn) != CONNECTION_OK && g_askPassword && tries < 3; ++tries) {
        const QString text = QString::fromUtf8(PQerrorMessage(m_conn));
        const bool wrong = PQconnectionUsedPassword(m_conn) &&
                           text.contains(QLatin1String("password authentication failed"));
        if (!PQconnectionNeedsPassword(m_conn) && !wrong)
            break;
        const QString password = g_askPassword(
            QStringLiteral("%1 de pe serverul %2").arg(quotedValue(PQdb(m_conn)), serverName()),
            quotedValue(PQuser(m_conn)), wrong);
        if (password.isNull())
            break;
        const QByteArray secret = password.toUtf8();
        const char* keys[] = {"dbname", "password", nullptr};
        const char* values[] = {info.constData(), secret.constData(), nullptr};
        PQfinish(m_conn);
        m_conn = PQconnectdbParams(keys, values, 1);
        m_passwordTyped = true;
    }
    m_where = QStringLiteral("%1 de pe serverul %2").arg(quotedValue(PQdb(m_conn)), serverName());
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString text = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        const QString message = connectFailure(serverName(), quotedValue(PQdb(m_conn)),
                                               quotedValue(PQuser(m_conn)), text);
        PQfinish(m_conn);
        m_conn = nullptr;
        throw StoreError(message + QStringLiteral("\n<") + text + QLatin1Char('>'),
                         FailureKind::ConnectionLost, text);
    }
    startSession();
}

PgConnection::~PgConnection() {
    PQfinish(m_conn);
}

QString PgConnection::serverName() const {
    // A Unix socket's directory names no machine: this computer's server.
    const QString host = quotedValue(PQhost(m_conn));
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) ? QStringLiteral("local") : host;
}

void PgConnection::startSession() {
    // Texts travel as UTF-8 whatever the server's own setting.
    PQsetClientEncoding(m_conn, "UTF8");
    // Other clerks' saves arrive as notifications (see ensureNotifications).
    Result r(PQexec(m_conn, "LISTEN tombrix_changes"));
}

pg_conn* PgConnection::live() {
    if (PQstatus(m_conn) == CONNECTION_OK)
        return m_conn;
    // The server went away and may be back: try once to connect again,
    // with what the first connection used.
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString text = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        throw StoreFailure::error(m_where, FailureKind::ConnectionLost, text);
    }
    startSession();
    ++m_notified; // what others saved meanwhile was not heard: read again
    return m_conn;
}

void PgConnection::ensureNotifications(const QStringList& tables) {
    QStringList missing;
    for (const QString& t : tables) {
        Statement has(*this, QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgname = "
                                            "'tombrix_notify' AND tgrelid = ?::regclass"));
        has.bind(1, quoted(t));
        if (!has.step() || has.integer(0) == 0)
            missing << t;
    }
    if (missing.isEmpty())
        return;
    execute(QStringLiteral(
        "CREATE OR REPLACE FUNCTION tombrix_notify() RETURNS trigger LANGUAGE plpgsql AS "
        "$f$ BEGIN PERFORM pg_notify('tombrix_changes', TG_TABLE_NAME); RETURN NULL; END $f$"));
    for (const QString& t : missing)
        execute(QStringLiteral("CREATE TRIGGER tombrix_notify AFTER INSERT OR UPDATE OR DELETE "
                               "OR TRUNCATE ON %1 FOR EACH STATEMENT EXECUTE FUNCTION "
                               "tombrix_notify()")
                    .arg(quoted(t)));
}

FailureKind PgConnection::classify(const QByteArray& state, bool connectionOk) {
    if (!connectionOk || state.startsWith("08") || state.startsWith("57P"))
        return FailureKind::ConnectionLost;
    if (state == "40001" || state == "40P01")
        return FailureKind::Conflict;
    if (state == "55P03")
        return FailureKind::Locked;
    if (state.startsWith("23"))
        return FailureKind::Constraint;
    if (state == "42501" || state == "25006")
        return FailureKind::ReadOnly;
    if (state == "53100")
        return FailureKind::Full;
    if (state.startsWith("58"))
        return FailureKind::IO;
    if (state == "XX001" || state == "XX002")
        return FailureKind::Damaged;
    return FailureKind::Other;
}

namespace {

// The names of the register's tables and fields, by their lower case.
const QHash<QString, QString>& registerNames() {
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> out;
        for (const TableDef& t : Schema::tables()) {
            out.insert(t.name.toLower(), t.name);
            for (const FieldDef& f : t.fields)
                out.insert(f.name.toLower(), f.name);
        }
        return out;
    }();
    return names;
}

// Types a CAST may name after AS: keywords, not names to quote.
const QSet<QString>& typeNames() {
    static const QSet<QString> types = {
        QStringLiteral("integer"),  QStringLiteral("int"),     QStringLiteral("bigint"),
        QStringLiteral("smallint"), QStringLiteral("text"),    QStringLiteral("real"),
        QStringLiteral("double"),   QStringLiteral("date"),    QStringLiteral("varchar"),
        QStringLiteral("numeric"),  QStringLiteral("boolean"), QStringLiteral("char")};
    return types;
}

} // namespace

QString PgConnection::numberParameters(const QString& sql, QStringList* names,
                                       QHash<QString, QString>* aliases) {
    QString out;
    out.reserve(sql.size() + 16);
    names->clear();
    const int n = int(sql.size());
    bool afterAs = false; // the last word was AS
    // NULL sorts first on the file and last on the server: each term of an
    // ORDER BY that does not say gets the file's order.
    int depth = 0, orderDepth = -1; // the ORDER BY being read, by its bracket depth
    bool termDesc = false, termNulls = false;
    QString lastWord;
    const auto endTerm = [&] {
        if (orderDepth == depth && !termNulls) {
            qsizetype keep = out.size();
            while (keep > 0 && out.at(keep - 1).isSpace())
                --keep;
            out.insert(keep,
                       termDesc ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST"));
        }
        termDesc = termNulls = false;
    };
    for (int i = 0; i < n;) {
        const QChar c = sql.at(i);
        if (orderDepth == depth && (c == QLatin1Char(',') || c == QLatin1Char(')'))) {
            endTerm();
            if (c == QLatin1Char(')'))
                orderDepth = -1;
        }
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) { // literal or identifier
            int j = i + 1;
            while (j < n && sql.at(j) != c)
                ++j;
            out += sql.mid(i, j + 1 - i);
            i = j + 1;
        } else if (c.isDigit()) { // a number, 1e5 included: no name inside
            int j = i + 1;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == QLatin1Char('.')))
                ++j;
            out += sql.mid(i, j - i);
            i = j;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            // The program writes the register's names bare, as the file
            // reads them whatever their case; the server folds bare names to
            // lower case, so they go quoted as the tables were made.
            int j = i + 1;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == QLatin1Char('_') ||
                             sql.at(j) == QLatin1Char('$')))
                ++j;
            const QString word = sql.mid(i, j - i);
            const QString lower = word.toLower();
            if (orderDepth == depth) {
                if (lower == QLatin1String("limit") || lower == QLatin1String("offset") ||
                    lower == QLatin1String("union") || lower == QLatin1String("for")) {
                    endTerm();
                    orderDepth = -1;
                } else if (lower == QLatin1String("desc")) {
                    termDesc = true;
                } else if (lower == QLatin1String("nulls")) {
                    termNulls = true;
                }
            }
            if (lower == QLatin1String("by") && lastWord == QLatin1String("order")) {
                orderDepth = depth;
                termDesc = termNulls = false;
            }
            lastWord = lower;
            const auto known = registerNames().constFind(word.toLower());
            if (known != registerNames().constEnd())
                out += quoted(known.value());
            else
                out += word;
            // The server names result columns in lower case; the program
            // reads them by the case it wrote after AS.
            if (afterAs && aliases && !typeNames().contains(word.toLower()))
                aliases->insert(word.toLower(), word);
            afterAs = word.compare(QLatin1String("AS"), Qt::CaseInsensitive) == 0;
            i = j;
            continue;
        } else if (c == QLatin1Char('?')) {
            int j = i + 1;
            while (j < n && sql.at(j).isDigit())
                ++j;
            int number = j > i + 1 ? sql.mid(i + 1, j - i - 1).toInt() : int(names->size()) + 1;
            while (names->size() < number)
                names->append(QString());
            out += QLatin1Char('$') + QString::number(number);
            i = j;
        } else if (c == QLatin1Char(':') && i + 1 < n &&
                   (sql.at(i + 1).isLetter() || sql.at(i + 1) == QLatin1Char('_')) &&
                   (i == 0 || sql.at(i - 1) != QLatin1Char(':'))) {
            int j = i + 1;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == QLatin1Char('_')))
                ++j;
            const QString name = sql.mid(i + 1, j - i - 1);
            int number = 0;
            for (int k = 0; k < names->size() && !number; ++k)
                if (names->at(k).compare(name, Qt::CaseInsensitive) == 0)
                    number = k + 1;
            if (!number) {
                names->append(name);
                number = int(names->size());
            }
            out += QLatin1Char('$') + QString::number(number);
            i = j;
        } else {
            out += c;
            ++i;
            if (!c.isSpace())
                afterAs = false;
            continue;
        }
        afterAs = false;
    }
    if (orderDepth == depth)
        endTerm();
    return out;
}

std::unique_ptr<StatementCore> PgConnection::prepare(const QString& sql) {
    return std::make_unique<PgStatement>(*this, sql);
}

void PgConnection::execute(const QString& sql) {
    QStringList names;
    Result r(PQexec(live(), numberParameters(sql, &names).toUtf8().constData()));
    const ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return;
    const char* state = PQresultErrorField(r.get(), PG_DIAG_SQLSTATE);
    const QString text = QString::fromUtf8(PQresultErrorMessage(r.get())).trimmed();
    throw StoreFailure::error(
        m_where, classify(QByteArray(state ? state : ""), PQstatus(m_conn) == CONNECTION_OK), text);
}

void PgConnection::noteResult(qint64 changes, qint64 insertedId) {
    m_changes = changes;
    if (insertedId >= 0)
        m_lastInsertId = insertedId;
}

void PgConnection::begin() {
    execute(QStringLiteral("BEGIN"));
}

qint64 PgConnection::foreignVersion() {
    // Other clerks' changes reach the tables through the server's
    // notifications; until a notification arrives nothing is stale.
    PQconsumeInput(m_conn);
    const int self = PQbackendPID(m_conn);
    while (PGnotify* n = PQnotifies(m_conn)) {
        if (n->be_pid != self) // our own saves are known already
            ++m_notified;
        PQfreemem(n);
    }
    return m_notified;
}

QString PgConnection::tableNamed(const QString& name) {
    Statement st(*this, QStringLiteral("SELECT table_name FROM information_schema.tables WHERE "
                                       "table_schema = current_schema() AND "
                                       "lower(table_name) = lower(?)"));
    st.bind(1, name);
    return st.step() ? st.text(0) : QString();
}

QList<QPair<QString, QString>> PgConnection::columns(const QString& table) {
    Statement st(*this, QStringLiteral("SELECT column_name, data_type, character_maximum_length "
                                       "FROM information_schema.columns WHERE table_schema = "
                                       "current_schema() AND table_name = ? AND column_name <> "
                                       "'rowid' ORDER BY ordinal_position"));
    st.bind(1, table);
    QList<QPair<QString, QString>> out;
    while (st.step()) {
        const QString type = st.text(1);
        // Back to the names the register's fields are declared with.
        QString declared = type;
        if (type == QLatin1String("character varying") || type == QLatin1String("character"))
            declared = QStringLiteral("CHAR(%1)").arg(st.integer(2));
        else if (type == QLatin1String("smallint"))
            declared = QStringLiteral("BOOLEAN");
        out.append({st.text(0), declared});
    }
    return out;
}

QList<IndexDef> PgConnection::indexes(const QString& table) {
    Statement st(
        *this,
        QStringLiteral("SELECT i.relname, ix.indisunique, string_agg(a.attname, ';' ORDER BY k.n) "
                       "FROM pg_class t JOIN pg_index ix ON ix.indrelid = t.oid "
                       "JOIN pg_class i ON i.oid = ix.indexrelid "
                       "CROSS JOIN LATERAL unnest(ix.indkey) WITH ORDINALITY AS k(attnum, n) "
                       "JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum = k.attnum "
                       "WHERE t.relname = ? AND t.relnamespace = current_schema()::regnamespace "
                       "AND NOT ix.indisprimary GROUP BY i.relname, ix.indisunique, i.oid "
                       "ORDER BY i.oid"));
    st.bind(1, table);
    QList<IndexDef> out;
    while (st.step())
        out.append({st.text(0), st.text(2), st.integer(1) != 0});
    return out;
}

bool PgConnection::probeWrite(FailureKind* kind, QString* text) {
    Statement st(*this, QStringLiteral("SELECT current_setting('transaction_read_only') = 'on' "
                                       "OR NOT has_table_privilege('\"Catalog\"', 'INSERT')"));
    if (st.step() && st.integer(0) != 0) {
        *kind = FailureKind::ReadOnly;
        *text = QStringLiteral("permission denied");
        return false;
    }
    return true;
}

void PgConnection::createTable(const TableDef& t) {
    QStringList cols = {QStringLiteral("rowid BIGSERIAL PRIMARY KEY")};
    for (const FieldDef& f : t.fields) {
        QString type;
        switch (f.type) {
        case FieldType::Number:
            type = QStringLiteral("DOUBLE PRECISION");
            break;
        // VARCHAR: CHAR would pad every text with blanks. Texts compare by
        // their bytes, as on the file, whatever the server's language.
        case FieldType::Text:
            type = QStringLiteral("VARCHAR(%1) COLLATE \"C\"").arg(f.size);
            break;
        case FieldType::Date:
            type = QStringLiteral("DATE");
            break;
        case FieldType::Logical: // 0/1 as on the file, so the same SQL compares it
            type = QStringLiteral("SMALLINT");
            break;
        case FieldType::LongInt:
            type = QStringLiteral("INTEGER");
            break;
        case FieldType::Memo:
            type = QStringLiteral("TEXT COLLATE \"C\"");
            break;
        }
        cols << quoted(f.name) + QLatin1Char(' ') + type;
    }
    execute(QStringLiteral("CREATE TABLE %1 (%2)")
                .arg(quoted(t.name), cols.join(QStringLiteral(", "))));
    for (const IndexDef& i : t.indexes)
        execute(Schema::createIndexSql(t, i));
}

void PgConnection::holdLock(qint64 key) {
    Statement st(*this, QStringLiteral("SELECT pg_advisory_lock(?)"));
    st.bind(1, key);
    st.run();
}

void PgConnection::releaseLock(qint64 key) {
    Statement st(*this, QStringLiteral("SELECT pg_advisory_unlock(?)"));
    st.bind(1, key);
    st.run();
}

QByteArray PgConnection::typedPassword() const {
    return m_passwordTyped && m_conn ? QByteArray(PQpass(m_conn)) : QByteArray();
}
