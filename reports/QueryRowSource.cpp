#include "QueryRowSource.h"

#include "Query.h"

QueryRowSource::QueryRowSource(Query& query) : m_query(query), m_names(query.fieldNames()) {}

bool QueryRowSource::next() {
    if (!m_started) {
        m_started = true;
        m_query.first();
    } else {
        m_query.next();
    }
    return !m_query.eof();
}

QVariant QueryRowSource::value(int field) const {
    return m_query.value(field);
}

qint64 QueryRowSource::sizeHint() const {
    return m_query.recordCount();
}
