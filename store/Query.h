#pragma once

#include "DataSet.h"

#include <QHash>
#include <QStringList>
#include <QVector>

class Database;

// An SQL query kept as lines of text, so that one line can be replaced
// before the query is opened. Parameters are named (:CNP) and always bound,
// never spliced into the text; a parameter without a value of its own takes
// the field of the same name from the parameter source's current row.
class Query : public DataSet {
    Q_OBJECT
public:
    explicit Query(Database& db, QObject* parent = nullptr);

    void setSql(const QStringList& lines);
    const QStringList& sql() const { return m_lines; }
    // Replaces line `index`, adding empty lines when the text is shorter.
    void setLine(int index, const QString& text);

    void setParam(const QString& name, const QVariant& value);
    QVariant param(const QString& name) const;

    // Runs the SELECT and keeps its rows; StoreError on failure.
    void open();
    void close();
    // Runs a statement without result (ALTER TABLE ... ADD, ...).
    void exec();
    bool isActive() const override { return m_active; }

    QStringList fieldNames() const { return m_names; }
    int fieldCount() const { return static_cast<int>(m_names.size()); }
    bool hasField(const QString& name) const override { return fieldIndex(name) >= 0; }
    int fieldIndex(const QString& name) const;
    // Integers come as qlonglong, reals as double, texts as QString, blobs
    // as QByteArray; NULL as a null QVariant.
    QVariant value(const QString& name) const override;
    // The current row's value by column, for readers that resolve the
    // names once; a null QVariant outside the row or past the last column.
    QVariant value(int field) const;

    void first();
    void next();
    bool eof() const { return m_eof; }
    bool isEmpty() const { return m_rowCount == 0; }
    int recordCount() const { return m_rowCount; }
    int recNo() const { return m_cur + 1; }

private:
    QString text() const;
    void run(bool select);

    Database& m_db;
    QStringList m_lines;
    QHash<QString, QVariant> m_params; // keys in lower case
    bool m_active = false;
    QStringList m_names;
    // The rows one after another, fieldCount() values each.
    QVector<QVariant> m_values;
    int m_rowCount = 0;
    int m_cur = -1;
    bool m_eof = true;
};
