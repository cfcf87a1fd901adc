#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Central European code page (windows-1250) to Unicode.
QString fromCp1250(const char* data, int length);

// The memo texts that do not fit in their rows, read from the table's .MB
// file block by block, every offset checked against the file.
class ParadoxBlobFile {
public:
    // A file that cannot be read leaves the reader empty: every read fails.
    explicit ParadoxBlobFile(const QString& path);
    bool isOpen() const { return !m_data.isEmpty(); }
    // The memo whose row entry gives `pointer` (block offset, with the
    // entry number in its low byte) and `length`. False with `error` set
    // when the file does not hold it. When the .MB keeps another length
    // than the row says, its own is read (as the old program showed the
    // text) and `note` says so.
    bool read(quint32 pointer, quint32 length, QByteArray* out, QString* error,
              QString* note = nullptr) const;

private:
    QByteArray m_data;
};

// One old table file (.DB), read row by row; fields found by name without
// regard to case. The header, the field list and the data blocks are read
// here, every offset checked against the file, so that no file, however
// damaged, is read past its end. Rows come in the order of the block chain.
// A file that is no table raises StoreError in Romanian; a table protected
// by a password opens with isProtected() and no rows.
class ParadoxReader {
public:
    enum class Kind { Number, Text, Date, Logical, Integer, Memo, Other };
    struct Field {
        QString name;
        int type = 0; // the file's own type code
        int length = 0;
        int offset = 0;
        Kind kind = Kind::Other; // Other also when the length does not fit the type
        // The type as the clerk reads it, e.g. "Text(20)", "Intreg scurt".
        QString typeName() const;
    };
    // A value read from the current row. `problem` tells why it is not
    // what the row holds (a date that is no calendar date, a memo whose
    // long part cannot be read); `value` is then what could be kept.
    struct Value {
        QVariant value;
        QString problem;
    };

    explicit ParadoxReader(const QString& path);
    ~ParadoxReader();
    ParadoxReader(const ParadoxReader&) = delete;
    ParadoxReader& operator=(const ParadoxReader&) = delete;

    const QString& path() const { return m_path; }
    // The larger of the header's count and the rows the block chain holds:
    // rows the header counts beyond the chain cannot be read.
    int rowCount() const { return m_rows; }
    int headerRows() const { return m_headerRows; }
    int blockRows() const { return m_blockRows; }
    bool isProtected() const { return m_protected; }
    // The code page the header names, 0 when it names none (read as 1250).
    int codePage() const { return m_codePage; }
    // What about the whole table is not as it should be (the header's row
    // count, an unknown code page), one line each, without the file name.
    const QStringList& notes() const { return m_notes; }
    const QList<Field>& fields() const { return m_fields; }
    int fieldIndex(const QString& name) const; // -1 when absent

    // Long memo parts come from this file when given (not owned).
    void setBlobFile(const ParadoxBlobFile* blobs) { m_blobs = blobs; }

    // Makes row `row` (from 0) current; false when it cannot be read.
    // Reading the rows in order costs one file read per run of blocks.
    bool readRow(int row);
    Value value(int field) const;
    // The raw memo entry of the current row: the bytes kept with the row,
    // and the pointer and length of the whole text.
    void memoEntry(int field, QByteArray* leader, quint32* pointer, quint32* length) const;

private:
    struct Block {
        qint64 offset = 0; // of its first row in the file
        int firstRow = 0;
        int count = 0;
    };
    void readBlockChain(int firstBlock, int fileBlocks);
    QString text(const char* data, int length) const;
    const char* bytesAt(qint64 offset, int length);

    QString m_path;
    QFile m_file;
    QList<Field> m_fields;
    int m_rows = 0;
    int m_headerRows = 0;
    int m_blockRows = 0;
    bool m_protected = false;
    int m_codePage = 0;
    const char16_t* m_high = nullptr; // of the code page; null for 1250
    QStringList m_notes;
    int m_recordSize = 0;
    qint64 m_headerSize = 0;
    qint64 m_blockSize = 0;
    QList<Block> m_blocks;
    int m_block = 0; // where the last row was found
    // A window of the file, so that rows in order cost few reads.
    QByteArray m_window;
    qint64 m_windowStart = 0;
    const char* m_rec = nullptr;
    const ParadoxBlobFile* m_blobs = nullptr;
};
