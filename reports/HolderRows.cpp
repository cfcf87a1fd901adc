#include "HolderRows.h"

#include "Database.h"

#include "Query.h"
#include "ReportDefinition.h"
#include "ReportFrame.h"
#include "Schema.h"
#include "Values.h"

namespace {

enum Kind { Plain, DateValue, LogicalValue };

const QString Prefix = QStringLiteral("Con_");

// The cemetery selection is bound on this line.
constexpr int FilterLine = 8;

QStringList sqlLines() {
    QStringList con;
    for (const QString& f : HolderRows::concessionFields())
        con << QStringLiteral("C.%1 AS %2").arg(f, HolderRows::concessionField(f));
    // Each place's latest concession is found through the index on
    // Id_Loc: the greatest date (MAX ignores empty dates, so they sort
    // last), then the index order among rows on that date.
    return {
        QStringLiteral("SELECT D.Cimitir, D.Sector, D.Parcela, D.Rand, D.Loc, D.CNP_Uzufruct, "
                       "D.Nume_Uzufruct, D.Id_Loc, C.Data_concesiune AS DataCon,"),
        con.join(QStringLiteral(", ")) + QLatin1Char(','),
        QStringLiteral("(SELECT MAX(X.DStop) FROM \"Chitante.DB\" X WHERE X.Id_Loc = D.Id_Loc"
                       " AND X.Tip_incasare = 'Taxa anuala') AS Stop"),
        QStringLiteral("FROM \"Catalog.DB\" D JOIN \"Concesionari.DB\" C ON C.rowid ="),
        QStringLiteral("(SELECT C2.rowid FROM \"Concesionari.DB\" C2 WHERE C2.Id_Loc = D.Id_Loc"),
        QStringLiteral(" ORDER BY C2.Data_concesiune DESC, C2.Nr_concesiune, C2.rowid LIMIT 1)"),
        QStringLiteral("WHERE"),
        QStringLiteral("((D.CNP_Uzufruct IS NOT NULL) OR (D.Nume_Uzufruct IS NOT NULL))"),
        QString(), // FilterLine
        QStringLiteral("ORDER BY D.Cimitir, D.Nume_Uzufruct, D.CNP_Uzufruct, D.Sector, D.Parcela, "
                       "D.Rand, D.Loc, D.Id_Loc"),
    };
}

} // namespace

HolderRows::HolderRows(Database& db) : m_db(db), m_query(std::make_unique<Query>(db)) {
    m_query->setSql(sqlLines());
}

HolderRows::~HolderRows() = default;

QString HolderRows::concessionField(const QString& name) {
    return Prefix + name;
}

const QStringList& HolderRows::concessionFields() {
    static const QStringList fields = [] {
        QStringList out;
        if (const TableDef* t = Schema::find(QStringLiteral("Concesionari")))
            for (const FieldDef& f : t->fields)
                out << f.name;
        return out;
    }();
    return fields;
}

void HolderRows::open(const QStringList& cemeteries) {
    close();
    setFilterLine(*m_query, FilterLine, QStringLiteral("AND (D.Cimitir IN ("), cemeteries,
                  QStringLiteral("Cimitir"));
    if (!m_db.server().isEmpty()) {
        m_query->open(); // the server keeps its own cache
    } else {
        // The annual-fee lookup visits every held place's receipts through
        // the Id_Loc index: with SQLite's default 2 MB page cache the same
        // pages are parsed again and again. A larger cache for this pass
        // only (the rows are all read in open()).
        Query current(m_db);
        current.setSql({QStringLiteral("PRAGMA cache_size")});
        current.open();
        const qlonglong previous = current.value(0).toLongLong();
        m_db.exec(QStringLiteral("PRAGMA cache_size = -65536"));
        struct Restore {
            Database& db;
            qlonglong size;
            ~Restore() {
                try {
                    db.exec(QStringLiteral("PRAGMA cache_size = %1").arg(size));
                } catch (...) {
                }
            }
        } restore{m_db, previous};
        m_query->open();
    }
    m_names = m_query->fieldNames();
    // Query hands out the stored forms; the report hooks read typed values.
    QHash<QString, Kind> kinds;
    kinds.insert(QStringLiteral("DataCon"), DateValue);
    kinds.insert(QStringLiteral("Stop"), DateValue);
    if (const TableDef* t = Schema::find(QStringLiteral("Concesionari"))) {
        for (const FieldDef& f : t->fields) {
            if (f.type == FieldType::Date)
                kinds.insert(concessionField(f.name), DateValue);
            else if (f.type == FieldType::Logical)
                kinds.insert(concessionField(f.name), LogicalValue);
        }
    }
    m_kinds.clear();
    for (const QString& n : m_names)
        m_kinds.push_back(kinds.value(n, Plain));
    m_started = false;
}

void HolderRows::close() {
    m_query->close();
    m_started = false;
}

bool HolderRows::isOpen() const {
    return m_query->isActive();
}

QStringList HolderRows::sql() const {
    return m_query->sql();
}

bool HolderRows::next() {
    if (!m_started) {
        m_started = true;
        m_query->first();
    } else {
        m_query->next();
    }
    return !m_query->eof();
}

QVariant HolderRows::value(int field) const {
    if (field < 0 || field >= int(m_names.size()))
        return {};
    const QVariant v = m_query->value(field);
    if (v.isNull())
        return {};
    switch (m_kinds[size_t(field)]) {
    case DateValue: {
        const QDate d = Values::storedToDate(v);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case LogicalValue:
        return v.toBool();
    case Plain:
        break;
    }
    return v;
}

qint64 HolderRows::sizeHint() const {
    return m_query->isActive() ? m_query->recordCount() : -1;
}

QString holderAddressLine(const std::function<QVariant(const QString& field)>& field) {
    QString line;
    auto text = [&](const char* name, const char* prefix, const char* separator) {
        const QVariant v = field(QLatin1String(name));
        if (v.isNull() || v.toString().isEmpty())
            return;
        line += QLatin1String(prefix) + v.toString() + QLatin1String(separator);
    };
    auto number = [&](const char* name, const char* prefix) {
        const QVariant v = field(QLatin1String(name));
        if (v.isNull() || v.toString().isEmpty())
            return;
        line += QLatin1String(prefix) + Values::numberToText(v.toDouble()) + QStringLiteral(", ");
    };
    text("Strada", "Str ", ", ");
    text("Numarul", "Nr ", ", ");
    text("Bloc", "Bl ", ", ");
    text("Scara", "Sc ", ", ");
    number("Etaj", "Et ");
    number("Apartament", "Ap ");
    text("Judet", "Jud ", ",");
    text("Telefon_fix", "Tel fix ", ", ");
    text("Telefon_mobil", "Tel mob", ", ");
    text("Observatii", "", "");
    if (line.endsWith(QLatin1Char(',')))
        line.chop(1);
    return line;
}

QString holderAddressLine(const PrintContext& row) {
    return holderAddressLine(
        [&row](const QString& f) { return row.value(HolderRows::concessionField(f)); });
}

QString concessionNumberText(const QVariant& number, const QVariant& act) {
    QString out;
    if (!number.isNull() && !number.toString().isEmpty())
        out = Values::numberToText(number.toDouble());
    if (!act.isNull())
        out += act.toString();
    return out;
}

QString concessionNumberText(const PrintContext& row) {
    return concessionNumberText(
        row.value(HolderRows::concessionField(QStringLiteral("Nr_concesiune"))),
        row.value(HolderRows::concessionField(QStringLiteral("Act_concesiune"))));
}
