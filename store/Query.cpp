#include "Query.h"

#include "Database.h"
#include "SqlText.h"
#include "StoreError.h"

#include <vector>

Query::Query(Database& db, QObject* parent) : DataSet(parent), m_db(db) {}

void Query::setSql(const QStringList& lines) {
    close();
    m_lines = lines;
}

void Query::setLine(int index, const QString& text) {
    if (index < 0)
        return;
    while (m_lines.size() <= index)
        m_lines << QString();
    m_lines[index] = text;
}

void Query::setParam(const QString& name, const QVariant& value) {
    m_params.insert(name.toLower(), value);
}

QVariant Query::param(const QString& name) const {
    return m_params.value(name.toLower());
}

QString Query::text() const {
    return m_lines.join(QLatin1Char('\n'));
}

void Query::open() {
    run(true);
}

void Query::exec() {
    run(false);
    m_active = false;
}

void Query::close() {
    m_active = false;
    m_values.clear();
    m_rowCount = 0;
    m_names.clear();
    m_cur = -1;
    m_eof = true;
}

void Query::run(bool select) {
    close();
    if (!m_db.isOpen())
        throw StoreError(QStringLiteral("Baza de date nu este deschisa"));
    const SqlText t = translateSql(text());
    Statement st = m_db.prepare(t.sql);
    if (st.parameterCount() != t.params.size())
        throw StoreError(QStringLiteral("Numarul parametrilor nu se potriveste cu interogarea"));
    for (int i = 0; i < t.params.size(); ++i) {
        const QString& p = t.params.at(i);
        const auto it = m_params.constFind(p.toLower());
        if (it == m_params.constEnd())
            throw StoreError(QStringLiteral("Parametrul %1 nu are valoare").arg(p));
        st.bind(i + 1, it.value());
    }

    const int columns = select ? st.columnCount() : 0;
    // The names are known before the first step, so a result without rows
    // still has its columns.
    QStringList names;
    for (int c = 0; c < columns; ++c)
        names << st.columnName(c).remove(QLatin1Char('"'));

    QVector<QVariant> values;
    int rows = 0;
    // Sorted results repeat a column's text from row to row (the cemetery,
    // the sector): the repeat shares the previous row's string.
    std::vector<QByteArray> lastText(static_cast<size_t>(columns));
    std::vector<QString> lastString(static_cast<size_t>(columns));
    while (st.step()) {
        if (!select)
            continue;
        ++rows;
        for (int c = 0; c < columns; ++c) {
            const Cell cell = st.cell(c);
            if (cell.kind != ColumnKind::Text) {
                values.append(st.value(c));
                continue;
            }
            const QByteArrayView text = cell.bytes;
            QByteArray& last = lastText[size_t(c)];
            QString& string = lastString[size_t(c)];
            if (string.isNull() || QByteArrayView(last) != text) {
                last = text.toByteArray();
                string = QString::fromUtf8(text);
            }
            values.append(QVariant(string));
        }
    }
    // A statement that writes may change any table: cached rows are stale.
    if (!select || st.writes())
        m_db.noteChangeAll();
    if (!select)
        return;
    m_names = names;
    m_values = std::move(values);
    m_rowCount = rows;
    m_active = true;
    m_cur = m_rowCount == 0 ? -1 : 0;
    m_eof = m_rowCount == 0;
    emit scrolled();
}

int Query::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant Query::value(const QString& name) const {
    const int i = fieldIndex(name);
    if (i < 0)
        throw StoreError(QStringLiteral("Campul %1 nu exista in rezultatul interogarii").arg(name));
    return value(i);
}

QVariant Query::value(int field) const {
    if (m_cur < 0 || m_cur >= m_rowCount || field < 0 || field >= fieldCount())
        return {};
    return m_values.at(qsizetype(m_cur) * fieldCount() + field);
}

void Query::first() {
    m_cur = m_rowCount == 0 ? -1 : 0;
    m_eof = m_rowCount == 0;
    emit scrolled();
}

void Query::next() {
    if (m_cur + 1 < m_rowCount) {
        ++m_cur;
        emit scrolled();
    } else {
        m_eof = true;
    }
}
