#pragma once

#include <QList>
#include <QString>
#include <QVariant>

struct px_doc;

// Writes table files in the old program's format through pxlib's writer,
// texts in the Central European code page: the tests and the benchmark
// make their own old files with it.
class ParadoxWriter {
public:
    enum class Type { Alpha, Number, Short, Long, Date, Logical, Memo };
    struct Column {
        QString name;
        Type type;
        int length = 0; // Alpha: characters; Memo: bytes kept in the row
    };

    // The columns of one of the five tables as the old program kept them;
    // without the later fields when `laterFields` is false.
    static QList<Column> tableColumns(const QString& table, bool laterFields = true);

    // `blobPath` names the .MB file for memos longer than the row keeps.
    ParadoxWriter(const QString& path, const QList<Column>& columns, const QString& blobPath = {});
    ~ParadoxWriter();
    ParadoxWriter(const ParadoxWriter&) = delete;
    ParadoxWriter& operator=(const ParadoxWriter&) = delete;

    // One row, values in column order (missing ones null): QString, double,
    // int, bool, QDate; a qint64 in a Date column is written as the raw day
    // count, so that a test can plant a value that is no calendar date.
    void add(const QVariantList& values);
    void close();

    static QByteArray toCp1250(const QString& text);

private:
    px_doc* m_doc = nullptr;
    QList<Column> m_columns;
    QByteArray m_row;
};
