#include "ParadoxReader.h"

#include "StoreError.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

extern "C" {
#include <paradox.h>
}

namespace {

// windows-1250, bytes 0x80 to 0xFF; the five unassigned bytes map to the
// control characters of the same number, as Windows itself reads them.
const char16_t kCp1250High[128] = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

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

void onPxError(pxdoc_t* doc, int, const char* msg, void*) {
    // The last message is kept for the failure text; pxlib goes on.
    if (doc && doc->errorhandler_user_data && msg)
        *static_cast<QString*>(doc->errorhandler_user_data) = QString::fromLocal8Bit(msg);
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

// The header is checked before pxlib reads the file, so that a truncated
// or foreign file is refused with a message instead of read past its end.
void checkHeader(const QString& path) {
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
}

} // namespace

QString fromCp1250(const char* data, int length) {
    QString s(length, Qt::Uninitialized);
    QChar* out = s.data();
    for (int i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        out[i] = b < 0x80 ? QChar(b) : QChar(kCp1250High[b - 0x80]);
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

ParadoxReader::ParadoxReader(const QString& path) : m_path(path) {
    checkHeader(path);
    static const bool booted = [] {
        PX_boot();
        return true;
    }();
    Q_UNUSED(booted);
    auto* lastError = new QString;
    m_doc = PX_new3(onPxError, nullptr, nullptr, nullptr, lastError);
    if (!m_doc) {
        delete lastError;
        throw StoreError(QStringLiteral("Memorie insuficienta"));
    }
    if (PX_open_file(m_doc, QFile::encodeName(path).constData()) < 0) {
        const QString why = *lastError;
        PX_delete(m_doc);
        m_doc = nullptr;
        delete lastError;
        throw damaged(path, why.isEmpty() ? QStringLiteral("nu poate fi deschis") : why);
    }
    const int n = PX_get_num_fields(m_doc);
    int offset = 0;
    for (int i = 0; i < n; ++i) {
        const pxfield_t* f = PX_get_field(m_doc, i);
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
    if (m_fields.size() != n || offset != PX_get_recordsize(m_doc)) {
        PX_close(m_doc);
        PX_delete(m_doc);
        m_doc = nullptr;
        delete lastError;
        throw damaged(path, QStringLiteral("descrierea campurilor nu se potriveste"));
    }
    m_rows = PX_get_num_records(m_doc);
    m_row.resize(offset);
}

ParadoxReader::~ParadoxReader() {
    if (m_doc) {
        auto* lastError = static_cast<QString*>(m_doc->errorhandler_user_data);
        PX_close(m_doc);
        PX_delete(m_doc);
        delete lastError;
    }
}

int ParadoxReader::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool ParadoxReader::readRow(int row) {
    if (row < 0 || row >= m_rows)
        return false;
    int deleted = 0;
    pxdatablockinfo_t info;
    return PX_get_record2(m_doc, row, m_row.data(), &deleted, &info) != nullptr && !deleted;
}

QString ParadoxReader::text(const Field& f) const {
    char* raw = nullptr;
    char* data = const_cast<char*>(m_row.constData()) + f.offset;
    if (PX_get_data_alpha(m_doc, data, f.length, &raw) <= 0 || !raw)
        return {};
    const QString s = fromCp1250(raw, int(qstrnlen(raw, f.length)));
    m_doc->free(m_doc, raw);
    return s;
}

void ParadoxReader::memoEntry(int field, QByteArray* leader, quint32* pointer,
                              quint32* length) const {
    const Field& f = m_fields.at(field);
    const char* d = m_row.constData() + f.offset;
    const int lead = qMax(0, f.length - 10);
    *leader = QByteArray(d, lead);
    *pointer = f.length >= 10 ? le32(d + lead) : 0;
    *length = f.length >= 10 ? le32(d + lead + 4) : 0;
}

ParadoxReader::Value ParadoxReader::value(int field) const {
    Value v;
    const Field& f = m_fields.at(field);
    char* data = const_cast<char*>(m_row.constData()) + f.offset;
    // An empty field is all zero bytes, whatever its type; pxlib reads some
    // such fields as values.
    bool empty = true;
    for (int i = 0; i < f.length && empty; ++i)
        empty = data[i] == 0;
    if (empty)
        return v;
    switch (f.type) {
    case pxfNumber:
    case pxfCurrency: {
        double d = 0;
        if (PX_get_data_double(m_doc, data, f.length, &d) > 0)
            v.value = d;
        break;
    }
    case pxfShort: {
        short s = 0;
        if (PX_get_data_short(m_doc, data, f.length, &s) > 0)
            v.value = int(s);
        break;
    }
    case pxfLong:
    case pxfAutoInc: {
        long l = 0;
        if (PX_get_data_long(m_doc, data, f.length, &l) > 0)
            v.value = int(l);
        break;
    }
    case pxfDate: {
        long days = 0;
        if (PX_get_data_long(m_doc, data, f.length, &days) > 0) {
            const QDate d = days > 0 ? QDate::fromJulianDay(days + kJulianOfDayZero) : QDate();
            if (d.isValid() && d.year() >= 1 && d.year() <= 9999)
                v.value = d;
            else
                v.problem =
                    QStringLiteral("data din campul %1 nu este o data calendaristica").arg(f.name);
        }
        break;
    }
    case pxfLogical: {
        char b = 0;
        if (PX_get_data_byte(m_doc, data, f.length, &b) > 0)
            v.value = b != 0;
        break;
    }
    case pxfAlpha: {
        const QString s = text(f);
        if (!s.isEmpty())
            v.value = s;
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
        v.value = fromCp1250(bytes.constData(), bytes.size());
        break;
    }
    default:
        v.problem = QStringLiteral("campul %1 are un tip necunoscut").arg(f.name);
        break;
    }
    return v;
}
