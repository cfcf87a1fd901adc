#include "Query.h"

#include "Database.h"
#include "SqlText.h"
#include "StoreError.h"
#include "StoreFailure.h"
#include "Values.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

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

void Query::setParamSource(DataSet* source) {
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (m_source)
        connect(m_source, &DataSet::scrolled, this, &Query::sourceMoved);
}

void Query::sourceMoved() {
    if (m_active)
        run(true);
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
    m_rows.clear();
    m_names.clear();
    m_cur = -1;
    m_eof = true;
}

void Query::run(bool select) {
    close();
    if (!m_db.isOpen())
        throw StoreError(QStringLiteral("Baza de date nu este deschisa"));
    const SqlText t = translateSql(text());
    QSqlQuery q(m_db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(t.sql))
        throw StoreFailure::error(m_db.path(), q.lastError());
    for (const QString& p : t.params) {
        QVariant v;
        const auto it = m_params.constFind(p.toLower());
        if (it != m_params.constEnd())
            v = it.value();
        else if (m_source && m_source->hasField(p))
            v = m_source->value(p);
        else
            throw StoreError(QStringLiteral("Parametrul %1 nu are valoare").arg(p));
        if (v.typeId() == QMetaType::QDate)
            v = Values::dateToStored(v.toDate());
        else if (v.typeId() == QMetaType::Bool)
            v = v.toBool() ? 1 : 0;
        q.addBindValue(v);
    }
    if (!q.exec())
        throw StoreFailure::error(m_db.path(), q.lastError());
    if (!select) {
        // A statement may change any table: cached rows are stale.
        m_db.noteChangeAll();
        return;
    }
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        m_names << rec.fieldName(i);
    while (q.next()) {
        QVector<QVariant> row(rec.count());
        for (int i = 0; i < rec.count(); ++i) {
            const QVariant v = q.value(i);
            row[i] = v.isNull() ? QVariant() : v;
        }
        m_rows.append(row);
    }
    if (q.lastError().isValid())
        throw StoreFailure::error(m_db.path(), q.lastError());
    m_active = true;
    m_cur = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
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
    if (m_cur < 0 || m_cur >= m_rows.size())
        return {};
    return m_rows.at(m_cur).at(i);
}

void Query::first() {
    m_cur = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
    emit scrolled();
}

void Query::next() {
    if (m_cur + 1 < m_rows.size()) {
        ++m_cur;
        emit scrolled();
    } else {
        m_eof = true;
    }
}
