#pragma once

#include "RowSource.h"

class Query;

// Feeds an open store query to the report engine, from its first row.
class QueryRowSource : public RowSource {
public:
    explicit QueryRowSource(Query& query);
    QStringList fieldNames() const override { return m_names; }
    bool next() override;
    QVariant value(int field) const override;
    qint64 sizeHint() const override;

private:
    Query& m_query;
    QStringList m_names;
    bool m_started = false;
};
