#include "ParadoxReader.h"

#include "CodePages.h"
#include "Cp1250.h"

#include "StoreError.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace {

quint32 le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}
quint16 le16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16(u[0] | u[1] << 8);
}

// Paradox counts days from 1 January of year 1 (day 1).
constexpr qint64 kJulianOfDayZero = 1721425;

// The file's field type codes.
enum FieldCode {
    kAlpha = 0x01,
    kDate = 0x02,
    kShort = 0x03,
    kLong = 0x04,
    kCurrency = 0x05,
    kNumber = 0x06,
    kLogical = 0x09,
    kMemo = 0x0C,
    kBlob = 0x0D,
    kFmtMemo = 0x0E,
    kOle = 0x0F,
    kGraphic = 0x10,
    kTime = 0x14,
    kTimestamp = 0x15,
    kAutoInc = 0x16,
    kBcd = 0x17,
    kBytes = 0x18,
};

// The kind of a field, Other when the type is not one the register keeps
// or its length is not the type's: such a field is never decoded.
ParadoxReader::Kind kindOf(int type, int length) {
    using K = ParadoxReader::Kind;
    switch (type) {
    case kNumber:
    case kCurrency:
        return length == 8 ? K::Number : K::Other;
    case kShort:
        return length == 2 ? K::Integer : K::Other;
    case kLong:
    case kAutoInc:
        return length == 4 ? K::Integer : K::Other;
    case kAlpha:
        return length <= 255 ? K::Text : K::Other;
    case kDate:
        return length == 4 ? K::Date : K::Other;
    case kLogical:
        return length == 1 ? K::Logical : K::Other;
    case kMemo:
    case kFmtMemo:
        return length >= 10 && length <= 250 ? K::Memo : K::Other;
    default:
        return K::Other;
    }
}

StoreError damaged(const QString& path, const QString& why) {
    return StoreError(
        QStringLiteral("Fisierul %1 este deteriorat sau nu este un tabel Paradox (%2)")
            .arg(QDir::toNativeSeparators(path), why));
}

struct Header {
    int recordSize = 0;
    qint64 headerSize = 0;
    qint64 blockSize = 0;
    int rows = 0;
    int fileBlocks = 0;
    int firstBlock = 0;
    bool encrypted = false;
    int codePage = 0;
    QList<ParadoxReader::Field> fields;
};

// The header and its field list. Everything is checked before it is used,
// so that a truncated or foreign file is refused with a message instead of
// read past its end.
Header readHeader(QFile& f, const QString& path) {
    const qint64 size = f.size();
    const QByteArray fixed = f.read(0x58);
    if (fixed.size() < 0x58)
        throw damaged(path, QStringLiteral("fisier prea scurt"));
    const char* h = fixed.constData();
    const int recordSize = le16(h);
    const int headerSize = le16(h + 2);
    const int fileType = static_cast<unsigned char>(h[4]);
    const int blockKb = static_cast<unsigned char>(h[5]);
    const quint32 records = le32(h + 6);
    const int fileBlocks = le16(h + 0x0C);
    const int fields = le16(h + 0x21);
    const int version = static_cast<unsigned char>(h[0x39]);
    if (fileType != 0 && fileType != 2)
        throw damaged(path, QStringLiteral("tip de fisier necunoscut"));
    if (recordSize <= 0 || headerSize < 0x58 || blockKb < 1 || blockKb > 32 || fields < 1 ||
        fields > 255 || recordSize > blockKb * 1024 - 6)
        throw damaged(path, QStringLiteral("antet invalid"));
    const qint64 blockSize = qint64(blockKb) * 1024;
    if (headerSize > size || headerSize + qint64(fileBlocks) * blockSize > size)
        throw damaged(path, QStringLiteral("fisier trunchiat"));
    if (records > quint64(fileBlocks) * quint64((blockSize - 6) / recordSize))
        throw damaged(path, QStringLiteral("numar de randuri imposibil"));
    f.seek(0);
    const QByteArray bytes = f.read(headerSize);
    if (bytes.size() != headerSize)
        throw damaged(path, QStringLiteral("fisier trunchiat"));
    const char* b = bytes.constData();

    Header out;
    out.recordSize = recordSize;
    out.headerSize = headerSize;
    out.blockSize = blockSize;
    out.rows = int(records);
    out.fileBlocks = fileBlocks;
    out.firstBlock = le16(h + 0x0E);
    // From version 4 on, a data file's header has 32 more bytes: a second
    // password word and the code page among them.
    const bool extended = version >= 5;
    const int fieldInfo = extended ? 0x78 : 0x58;
    const quint32 key1 = le32(h + 0x25);
    if (extended) {
        if (headerSize < fieldInfo)
            throw damaged(path, QStringLiteral("antet invalid"));
        const quint32 key2 = le32(b + 0x5C);
        out.encrypted = key2 != 0 || (key1 != 0 && key1 != 0xFF00FF00u);
        out.codePage = le16(b + 0x6A);
    } else {
        out.encrypted = key1 != 0;
    }
    // The field types and lengths, the table name's pointer and the field
    // names' pointers, the table name in a fixed width, then the names.
    const qint64 namePtrs = fieldInfo + qint64(fields) * 2 + 4;
    const qint64 tableName = namePtrs + qint64(fields) * 4;
    qint64 at = tableName + (version >= 12 ? 261 : 79);
    if (at > headerSize)
        throw damaged(path, QStringLiteral("lista campurilor lipseste"));
    int offset = 0;
    for (int i = 0; i < fields; ++i) {
        ParadoxReader::Field field;
        field.type = static_cast<unsigned char>(b[fieldInfo + i * 2]);
        field.length = static_cast<unsigned char>(b[fieldInfo + i * 2 + 1]);
        const char* name = b + at;
        const int len = int(qstrnlen(name, size_t(headerSize - at)));
        if (at + len >= headerSize || len == 0 || field.length == 0)
            throw damaged(path, QStringLiteral("lista campurilor este incompleta"));
        field.name = CodePages::decode(out.codePage, name, len);
        field.offset = offset;
        field.kind = kindOf(field.type, field.length);
        offset += field.length;
        at += len + 1;
        out.fields.append(field);
    }
    if (offset != recordSize)
        throw damaged(path, QStringLiteral("descrierea campurilor nu se potriveste"));
    return out;
}

} // namespace

namespace {
QString baseTypeName(int type, int length) {
    switch (type) {
    case kAlpha:
        return QStringLiteral("Text(%1)").arg(length);
    case kDate:
        return QStringLiteral("Data");
    case kShort:
        return QStringLiteral("Intreg scurt");
    case kLong:
        return QStringLiteral("Intreg lung");
    case kCurrency:
        return QStringLiteral("Suma de bani");
    case kNumber:
        return QStringLiteral("Numar");
    case kLogical:
        return QStringLiteral("Logic");
    case kMemo:
        return QStringLiteral("Memo");
    case kFmtMemo:
        return QStringLiteral("Memo formatat");
    case kBlob:
        return QStringLiteral("Binar");
    case kOle:
        return QStringLiteral("OLE");
    case kGraphic:
        return QStringLiteral("Imagine");
    case kTime:
        return QStringLiteral("Ora");
    case kTimestamp:
        return QStringLiteral("Data si ora");
    case kAutoInc:
        return QStringLiteral("Numar automat");
    case kBcd:
        return QStringLiteral("BCD");
    case kBytes:
        return QStringLiteral("Octeti");
    default:
        return QStringLiteral("necunoscut (cod %1)").arg(type);
    }
}
} // namespace

QString ParadoxReader::Field::typeName() const {
    const QString base = baseTypeName(type, length);
    // A type the register reads, with a length that is not that type's.
    const bool readable = type == kNumber || type == kCurrency || type == kShort || type == kLong ||
                          type == kAutoInc || type == kDate || type == kLogical || type == kMemo ||
                          type == kFmtMemo;
    if (kind == Kind::Other && readable)
        return base + QStringLiteral(" de %1 octeti").arg(length);
    return base;
}

QString fromCp1250(const char* data, int length) {
    QString s(length, Qt::Uninitialized);
    QChar* out = s.data();
    for (int i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        out[i] = QChar(Cp1250::unicodeOf(b));
    }
    return s;
}

// ---------------------------------------------------------------- blobs

ParadoxBlobFile::ParadoxBlobFile(const QString& path) {
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        m_data = f.readAll();
    // The first block is the file's header block (type 0).
    if (m_data.size() < 16 || m_data.at(0) != 0)
        m_data.clear();
}

bool ParadoxBlobFile::read(quint32 pointer, quint32 length, QByteArray* out, QString* error,
                           QString* note) const {
    if (m_data.isEmpty()) {
        *error = QStringLiteral("fisierul .MB lipseste sau nu poate fi citit");
        return false;
    }
    const qint64 block = pointer & ~quint32(0xFF);
    const int entry = pointer & 0xFF;
    const qint64 size = m_data.size();
    if (block < 4096 || block + 12 > size) {
        *error = QStringLiteral("referinta in afara fisierului .MB");
        return false;
    }
    const char* b = m_data.constData() + block;
    qint64 start = 0;
    qint64 stored = 0; // the length the .MB itself keeps
    if (entry == 0xFF) {
        // A run of blocks holding one text: type 2, the run's block count,
        // the text's length, the text from byte 9.
        const qint64 room = qint64(le16(b + 1)) * 4096 - 9;
        stored = le32(b + 3);
        if (b[0] != 2 || stored > room) {
            *error = QStringLiteral("bloc .MB nepotrivit");
            return false;
        }
        start = block + 9;
    } else {
        // A block shared by up to 64 short texts: type 3, then five-byte
        // entries from byte 12: offset and size in 16-byte units, a change
        // count, and the length's remainder modulo 16.
        if (b[0] != 3 || entry >= 64 || block + 12 + (entry + 1) * 5 > size) {
            *error = QStringLiteral("bloc .MB nepotrivit");
            return false;
        }
        const char* e = b + 12 + entry * 5;
        const qint64 offset = qint64(static_cast<unsigned char>(e[0])) * 16;
        const qint64 units = static_cast<unsigned char>(e[1]);
        const int rest = static_cast<unsigned char>(e[4]);
        stored = rest == 0 ? units * 16 : (units - 1) * 16 + rest;
        if (offset == 0 || units == 0 || rest >= 16 || offset + stored > 4096) {
            *error = QStringLiteral("intrare .MB nepotrivita");
            return false;
        }
        start = block + offset;
    }
    if (start + stored > size) {
        *error = QStringLiteral("fisierul .MB este trunchiat");
        return false;
    }
    if (stored != qint64(length) && note)
        *note = QStringLiteral("randul da textului %1 de caractere, fisierul .MB %2; "
                               "s-a citit textul din .MB")
                    .arg(length)
                    .arg(stored);
    *out = m_data.mid(start, stored);
    return true;
}

// ---------------------------------------------------------------- tables

namespace {

// The values as the file keeps them: big-endian, the sign bit flipped so
// that the bytes sort like the numbers; all zero bytes mean empty.
quint64 be64(const char* p) {
    quint64 v = 0;
    for (int i = 0; i < 8; ++i)
        v = v << 8 | static_cast<unsigned char>(p[i]);
    return v;
}
double decodeNumber(const char* p) {
    quint64 bits = be64(p);
    if (bits & (quint64(1) << 63))
        bits &= ~(quint64(1) << 63);
    else
        bits = ~bits; // a negative number is stored with every bit inverted
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
qint32 decodeLong(const char* p) {
    quint32 v = quint32(static_cast<unsigned char>(p[0])) << 24 |
                quint32(static_cast<unsigned char>(p[1])) << 16 |
                quint32(static_cast<unsigned char>(p[2])) << 8 | static_cast<unsigned char>(p[3]);
    v ^= quint32(1) << 31;
    return static_cast<qint32>(v);
}
qint16 decodeShort(const char* p) {
    quint16 v = quint16(static_cast<unsigned char>(p[0]) << 8 | static_cast<unsigned char>(p[1]));
    v ^= quint16(1) << 15;
    return static_cast<qint16>(v);
}

constexpr qint64 kWindow = 256 * 1024;

} // namespace

ParadoxReader::ParadoxReader(const QString& path) : m_path(path), m_file(path) {
    if (!m_file.open(QIODevice::ReadOnly))
        throw StoreError(
            QStringLiteral("Nu pot citi fisierul %1").arg(QDir::toNativeSeparators(path)));
    const Header header = readHeader(m_file, path);
    m_fields = header.fields;
    m_recordSize = header.recordSize;
    m_headerSize = header.headerSize;
    m_blockSize = header.blockSize;
    m_headerRows = header.rows;
    m_codePage = header.codePage;
    // The rows of a protected table are enciphered: none is read.
    m_protected = header.encrypted;
    if (m_protected)
        return;
    if (m_codePage != 0 && m_codePage != 1250) {
        if (CodePages::known(m_codePage))
            m_notes << QStringLiteral("textele sunt scrise in codul de pagina %1; se citesc "
                                      "in acest cod")
                           .arg(m_codePage);
        else
            m_notes << QStringLiteral("codul de pagina %1 nu este cunoscut; textele se citesc "
                                      "in codul 1250 (Europa Centrala) si pot iesi gresit")
                           .arg(m_codePage);
    }
    m_high = CodePages::highHalf(m_codePage);
    readBlockChain(header.firstBlock, header.fileBlocks);
    m_rows = qMax(m_headerRows, m_blockRows);
    if (m_blockRows > m_headerRows)
        m_notes << QStringLiteral("antetul numara %1 randuri, dar blocurile de date contin %2; "
                                  "se citesc toate randurile din blocuri")
                       .arg(m_headerRows)
                       .arg(m_blockRows);
}

ParadoxReader::~ParadoxReader() = default;

// The rows live in data blocks linked from the header's first block; each
// block starts with the next and previous block numbers and the size of
// its rows after the first. A broken link ends the chain: rows the header
// counts beyond it are reported as unreadable, never invented.
void ParadoxReader::readBlockChain(int firstBlock, int fileBlocks) {
    const qint64 size = m_file.size();
    const int perBlock = int((m_blockSize - 6) / m_recordSize);
    QList<bool> seen(fileBlocks + 1, false);
    int rows = 0;
    int block = firstBlock;
    while (block >= 1 && block <= fileBlocks && !seen.at(block)) {
        seen[block] = true;
        const qint64 at = m_headerSize + qint64(block - 1) * m_blockSize;
        if (at + m_blockSize > size)
            break;
        const char* h = bytesAt(at, 6);
        if (!h)
            break;
        const int next = le16(h);
        const int more = static_cast<qint16>(le16(h + 4));
        // An emptied block says -recordSize; anything else off the grid
        // means the block is damaged.
        const int count = more < 0 ? (more == -m_recordSize ? 0 : -1)
                                   : (more % m_recordSize == 0 ? more / m_recordSize + 1 : -1);
        if (count < 0 || count > perBlock)
            break;
        if (count > 0)
            m_blocks.append({at + 6, rows, count});
        rows += count;
        block = next;
    }
    m_blockRows = rows;
}

const char* ParadoxReader::bytesAt(qint64 offset, int length) {
    if (offset < m_windowStart || offset + length > m_windowStart + m_window.size()) {
        const qint64 want = qMax<qint64>(kWindow, length);
        m_window.resize(want);
        if (!m_file.seek(offset)) {
            m_window.clear();
            return nullptr;
        }
        const qint64 got = m_file.read(m_window.data(), want);
        m_window.resize(got < 0 ? 0 : got);
        m_windowStart = offset;
        if (got < length)
            return nullptr;
    }
    return m_window.constData() + (offset - m_windowStart);
}

int ParadoxReader::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool ParadoxReader::readRow(int row) {
    m_rec = nullptr;
    if (row < 0 || row >= m_rows || m_blocks.isEmpty())
        return false;
    if (m_block >= m_blocks.size() || row < m_blocks.at(m_block).firstRow ||
        row >= m_blocks.at(m_block).firstRow + m_blocks.at(m_block).count) {
        // Mostly the next block; otherwise looked up.
        if (m_block + 1 < m_blocks.size() && row >= m_blocks.at(m_block + 1).firstRow &&
            row < m_blocks.at(m_block + 1).firstRow + m_blocks.at(m_block + 1).count) {
            ++m_block;
        } else {
            auto it = std::upper_bound(m_blocks.cbegin(), m_blocks.cend(), row,
                                       [](int r, const Block& b) { return r < b.firstRow; });
            if (it == m_blocks.cbegin())
                return false;
            m_block = int(it - m_blocks.cbegin()) - 1;
            if (row >= m_blocks.at(m_block).firstRow + m_blocks.at(m_block).count)
                return false;
        }
    }
    const Block& b = m_blocks.at(m_block);
    m_rec = bytesAt(b.offset + qint64(row - b.firstRow) * m_recordSize, m_recordSize);
    return m_rec != nullptr;
}

void ParadoxReader::memoEntry(int field, QByteArray* leader, quint32* pointer,
                              quint32* length) const {
    const Field& f = m_fields.at(field);
    const char* d = m_rec + f.offset;
    const int lead = qMax(0, f.length - 10);
    *leader = QByteArray(d, lead);
    *pointer = f.length >= 10 ? le32(d + lead) : 0;
    *length = f.length >= 10 ? le32(d + lead + 4) : 0;
}

QString ParadoxReader::text(const char* data, int length) const {
    if (!m_high)
        return fromCp1250(data, length);
    return CodePages::decode(m_codePage, data, length);
}

ParadoxReader::Value ParadoxReader::value(int field) const {
    Value v;
    const Field& f = m_fields.at(field);
    const char* data = m_rec + f.offset;
    // An empty field is all zero bytes, whatever its type.
    bool empty = true;
    for (int i = 0; i < f.length && empty; ++i)
        empty = data[i] == 0;
    if (empty)
        return v;
    switch (f.kind) {
    case Kind::Number:
        v.value = decodeNumber(data);
        break;
    case Kind::Integer:
        if (f.type == kShort)
            v.value = int(decodeShort(data));
        else
            v.value = int(decodeLong(data));
        break;
    case Kind::Date: {
        const qint64 days = decodeLong(data);
        const QDate d = days > 0 ? QDate::fromJulianDay(days + kJulianOfDayZero) : QDate();
        if (d.isValid() && d.year() >= 1 && d.year() <= 9999)
            v.value = d;
        else
            v.problem =
                QStringLiteral("data din campul %1 nu este o data calendaristica").arg(f.name);
        break;
    }
    case Kind::Logical: {
        // 0x80 is false and 0x81 true; the old program showed any other
        // byte as true.
        const auto b = static_cast<unsigned char>(data[0]);
        v.value = b != 0x80;
        if (b != 0x80 && b != 0x81)
            v.problem = QStringLiteral("valoarea logica din campul %1 are octetul neobisnuit "
                                       "0x%2; s-a citit ca Da")
                            .arg(f.name)
                            .arg(b, 2, 16, QLatin1Char('0'));
        break;
    }
    case Kind::Text: {
        const int len = int(qstrnlen(data, size_t(f.length)));
        if (len > 0)
            v.value = text(data, len);
        break;
    }
    case Kind::Memo: {
        QByteArray leader;
        quint32 pointer = 0, length = 0;
        memoEntry(field, &leader, &pointer, &length);
        if (length == 0)
            break;
        QByteArray bytes;
        if (length <= quint32(leader.size())) {
            bytes = leader.left(int(length));
        } else {
            QString why, note;
            if (!m_blobs)
                why = QStringLiteral("fisierul .MB lipseste");
            else if (m_blobs->read(pointer, length, &bytes, &why, &note) &&
                     !bytes.startsWith(leader.left(int(bytes.size()))))
                why = QStringLiteral("textul din .MB nu se potriveste cu inceputul din rand");
            if (!why.isEmpty()) {
                // What the row itself holds is kept.
                bytes = leader;
                v.problem = QStringLiteral("textul lung din campul %1 nu poate fi citit (%2); "
                                           "s-au pastrat primele %3 caractere")
                                .arg(f.name, why)
                                .arg(leader.size());
            } else if (!note.isEmpty()) {
                v.problem =
                    QStringLiteral("lungimea textului din campul %1 difera: ").arg(f.name) + note;
            }
        }
        v.value = text(bytes.constData(), int(bytes.size()));
        break;
    }
    case Kind::Other:
        v.problem = QStringLiteral("campul %1 are tipul %2, care nu se poate citi")
                        .arg(f.name, f.typeName());
        break;
    }
    return v;
}
