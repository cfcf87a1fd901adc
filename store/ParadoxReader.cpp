#include "ParadoxReader.h"

#include "Cp1250.h"

#include "StoreError.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstring>

extern "C" {
#include <paradox.h>
}

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

void onPxError(pxdoc_t*, int, const char* msg, void* lastError) {
    // The last message is kept for the failure text; pxlib goes on.
    if (lastError && msg)
        *static_cast<QString*>(lastError) = QString::fromLocal8Bit(msg);
}

ParadoxReader::Kind kindOf(int type) {
    switch (type) {
    case pxfNumber:
    case pxfCurrency:
        return ParadoxReader::Kind::Number;
    case pxfShort:
    case pxfLong:
    case pxfAutoInc:
        return ParadoxReader::Kind::Integer;
    case pxfAlpha:
        return ParadoxReader::Kind::Text;
    case pxfDate:
        return ParadoxReader::Kind::Date;
    case pxfLogical:
        return ParadoxReader::Kind::Logical;
    case pxfMemoBLOb:
    case pxfFmtMemoBLOb:
        return ParadoxReader::Kind::Memo;
    default:
        return ParadoxReader::Kind::Other;
    }
}

StoreError damaged(const QString& path, const QString& why) {
    return StoreError(
        QStringLiteral("Fisierul %1 este deteriorat sau nu este un tabel Paradox (%2)")
            .arg(QDir::toNativeSeparators(path), why));
}

struct Header {
    QByteArray bytes; // the whole header, field list included
    int recordSize = 0;
    qint64 blockSize = 0;
    int rows = 0;
    int fileBlocks = 0;
    int firstBlock = 0;
};

// The header is checked before pxlib reads it, so that a truncated or
// foreign file is refused with a message instead of read past its end.
Header checkHeader(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw StoreError(
            QStringLiteral("Nu pot citi fisierul %1").arg(QDir::toNativeSeparators(path)));
    const qint64 size = f.size();
    const QByteArray h = f.read(0x58);
    if (h.size() < 0x58)
        throw damaged(path, QStringLiteral("fisier prea scurt"));
    const int recordSize = le16(h.constData());
    const int headerSize = le16(h.constData() + 2);
    const int fileType = static_cast<unsigned char>(h.at(4));
    const int blockKb = static_cast<unsigned char>(h.at(5));
    const quint32 records = le32(h.constData() + 6);
    const int fileBlocks = le16(h.constData() + 0x0C);
    const int fields = le16(h.constData() + 0x21);
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
    Header out;
    f.seek(0);
    out.bytes = f.read(headerSize);
    if (out.bytes.size() != headerSize)
        throw damaged(path, QStringLiteral("fisier trunchiat"));
    out.recordSize = recordSize;
    out.blockSize = blockSize;
    out.rows = int(records);
    out.fileBlocks = fileBlocks;
    out.firstBlock = le16(h.constData() + 0x0E);
    return out;
}

void put16(char* p, int v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8 & 0xFF);
}

} // namespace

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

bool ParadoxBlobFile::read(quint32 pointer, quint32 length, QByteArray* out, QString* error) const {
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
    if (entry == 0xFF) {
        // A block run holding one text: type 2, its length after the type
        // and the block count, the text from byte 9.
        if (b[0] != 2 || le32(b + 3) != length) {
            *error = QStringLiteral("bloc .MB nepotrivit");
            return false;
        }
        start = block + 9;
    } else {
        // A block shared by up to 64 short texts: type 3, then five-byte
        // entries (offset and size in 16-byte units) from byte 12.
        if (b[0] != 3 || entry >= 64 || block + 12 + (entry + 1) * 5 > size) {
            *error = QStringLiteral("bloc .MB nepotrivit");
            return false;
        }
        const char* e = b + 12 + entry * 5;
        const qint64 offset = qint64(static_cast<unsigned char>(e[0])) * 16;
        const qint64 units = static_cast<unsigned char>(e[1]);
        if (offset == 0 || qint64(length) > units * 16 || offset + qint64(length) > 4096) {
            *error = QStringLiteral("intrare .MB nepotrivita");
            return false;
        }
        start = block + offset;
    }
    if (start + qint64(length) > size) {
        *error = QStringLiteral("fisierul .MB este trunchiat");
        return false;
    }
    *out = m_data.mid(start, length);
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
    const Header header = checkHeader(path);
    static const bool booted = [] {
        PX_boot();
        return true;
    }();
    Q_UNUSED(booted);
    // pxlib is shown the header alone, with one empty data block after it.
    // Given the whole file it would walk the block chain at open, which
    // never ends on a chain that loops or points past the end, and it asks
    // for write access that old files on a read-only medium do not give.
    QByteArray shown = header.bytes;
    put16(shown.data() + 6, 1); // one row
    put16(shown.data() + 8, 0);
    put16(shown.data() + 0x0C, 1); // in one block, the first and the last
    put16(shown.data() + 0x0E, 1);
    put16(shown.data() + 0x10, 1);
    shown.append(QByteArray(6, '\0'));
    FILE* fp = fmemopen(shown.data(), size_t(shown.size()), "rb");
    if (!fp)
        throw StoreError(QStringLiteral("Memorie insuficienta"));
    QString lastError;
    pxdoc_t* doc = PX_new3(onPxError, nullptr, nullptr, nullptr, &lastError);
    if (!doc) {
        std::fclose(fp);
        throw StoreError(QStringLiteral("Memorie insuficienta"));
    }
    auto release = [&] {
        PX_close(doc);
        PX_delete(doc);
        std::fclose(fp);
    };
    if (PX_open_fp(doc, fp) < 0 || !doc->px_head) {
        release();
        throw damaged(path,
                      lastError.isEmpty() ? QStringLiteral("nu poate fi deschis") : lastError);
    }
    const bool encrypted = doc->px_head->px_encryption != 0;
    const int n = PX_get_num_fields(doc);
    int offset = 0;
    for (int i = 0; i < n; ++i) {
        const pxfield_t* f = PX_get_field(doc, i);
        if (!f || !f->px_fname || f->px_flen <= 0)
            break;
        Field field;
        field.name = QString::fromLatin1(f->px_fname);
        field.type = static_cast<unsigned char>(f->px_ftype);
        field.length = f->px_flen;
        field.offset = offset;
        field.kind = kindOf(field.type);
        offset += f->px_flen;
        m_fields.append(field);
    }
    release();
    if (encrypted)
        throw damaged(path, QStringLiteral("tabelul este protejat cu parola"));
    m_recordSize = header.recordSize;
    m_headerSize = header.bytes.size();
    m_blockSize = header.blockSize;
    m_rows = header.rows;
    if (m_fields.size() != n || offset != m_recordSize)
        throw damaged(path, QStringLiteral("descrierea campurilor nu se potriveste"));
    if (!m_file.open(QIODevice::ReadOnly))
        throw StoreError(
            QStringLiteral("Nu pot citi fisierul %1").arg(QDir::toNativeSeparators(path)));
    readBlockChain(header.firstBlock, header.fileBlocks);
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
    while (block >= 1 && block <= fileBlocks && !seen.at(block) && rows < m_rows) {
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
    switch (f.type) {
    case pxfNumber:
    case pxfCurrency:
        if (f.length == 8)
            v.value = decodeNumber(data);
        break;
    case pxfShort:
        if (f.length == 2)
            v.value = int(decodeShort(data));
        break;
    case pxfLong:
    case pxfAutoInc:
        if (f.length == 4)
            v.value = int(decodeLong(data));
        break;
    case pxfDate: {
        if (f.length != 4)
            break;
        const qint64 days = decodeLong(data);
        const QDate d = days > 0 ? QDate::fromJulianDay(days + kJulianOfDayZero) : QDate();
        if (d.isValid() && d.year() >= 1 && d.year() <= 9999)
            v.value = d;
        else
            v.problem =
                QStringLiteral("data din campul %1 nu este o data calendaristica").arg(f.name);
        break;
    }
    case pxfLogical: {
        // Stored as 0x80 + value; a byte without the high bit is a negative value.
        const auto b = static_cast<unsigned char>(data[0]);
        v.value = (b & 0x80 ? (b & 0x7F) : b) != 0;
        break;
    }
    case pxfAlpha: {
        const int len = int(qstrnlen(data, f.length));
        if (len > 0)
            v.value = fromCp1250(data, len);
        break;
    }
    case pxfMemoBLOb:
    case pxfFmtMemoBLOb: {
        QByteArray leader;
        quint32 pointer = 0, length = 0;
        memoEntry(field, &leader, &pointer, &length);
        if (length == 0)
            break;
        QByteArray bytes;
        if (length <= quint32(leader.size())) {
            bytes = leader.left(int(length));
        } else {
            QString why;
            if (!m_blobs)
                why = QStringLiteral("fisierul .MB lipseste");
            else if (m_blobs->read(pointer, length, &bytes, &why) && !bytes.startsWith(leader))
                why = QStringLiteral("textul din .MB nu se potriveste cu inceputul din rand");
            if (!why.isEmpty()) {
                // What the row itself holds is kept.
                bytes = leader;
                v.problem = QStringLiteral("textul lung din campul %1 nu poate fi citit (%2); "
                                           "s-au pastrat primele %3 caractere")
                                .arg(f.name, why)
                                .arg(leader.size());
            }
        }
        v.value = fromCp1250(bytes.constData(), int(bytes.size()));
        break;
    }
    default:
        v.problem = QStringLiteral("campul %1 are un tip necunoscut").arg(f.name);
        break;
    }
    return v;
}
