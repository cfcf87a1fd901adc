#include "ParadoxWriter.h"

#include <QDate>
#include <QFile>
#include <iconv.h>
#include <stdexcept>

extern "C" {
#include <paradox.h>
}

namespace {

int pxType(ParadoxWriter::Type t) {
    switch (t) {
    case ParadoxWriter::Type::Alpha:
        return pxfAlpha;
    case ParadoxWriter::Type::Number:
        return pxfNumber;
    case ParadoxWriter::Type::Short:
        return pxfShort;
    case ParadoxWriter::Type::Long:
        return pxfLong;
    case ParadoxWriter::Type::Date:
        return pxfDate;
    case ParadoxWriter::Type::Logical:
        return pxfLogical;
    case ParadoxWriter::Type::Memo:
        return pxfMemoBLOb;
    }
    return pxfAlpha;
}

int rowBytes(const ParadoxWriter::Column& c) {
    switch (c.type) {
    case ParadoxWriter::Type::Alpha:
        return c.length;
    case ParadoxWriter::Type::Number:
        return 8;
    case ParadoxWriter::Type::Short:
        return 2;
    case ParadoxWriter::Type::Long:
    case ParadoxWriter::Type::Date:
        return 4;
    case ParadoxWriter::Type::Logical:
        return 1;
    case ParadoxWriter::Type::Memo:
        return c.length + 10;
    }
    return 0;
}

} // namespace

QByteArray ParadoxWriter::toCp1250(const QString& text) {
    // iconv, not the program's own table, so that the tests check that table.
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() + 1, '\0');
    // Opened once: opening a converter per text made writing a large
    // register take minutes.
    static const iconv_t cd = iconv_open("CP1250", "UTF-8");
    if (cd == iconv_t(-1))
        throw std::runtime_error("iconv has no CP1250");
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = in.data();
    size_t srcLeft = size_t(in.size());
    char* dst = out.data();
    size_t dstLeft = size_t(out.size());
    const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    if (rc == size_t(-1))
        throw std::runtime_error("text not representable in CP1250");
    out.truncate(out.size() - int(dstLeft));
    return out;
}

QList<ParadoxWriter::Column> ParadoxWriter::tableColumns(const QString& table, bool later) {
    using T = Type;
    QList<Column> c;
    auto add = [&](const char* n, Type t, int len = 0, bool isLater = false) {
        if (later || !isLater)
            c.append({QString::fromLatin1(n), t, len});
    };
    if (table == QLatin1String("Catalog")) {
        add("Id_Loc", T::Number);
        add("Cimitir", T::Alpha, 30);
        add("Sector", T::Alpha, 10);
        add("Parcela", T::Alpha, 10);
        add("Rand", T::Alpha, 10);
        add("Loc", T::Alpha, 10);
        add("CNP_Uzufruct", T::Alpha, 13);
        add("Nume_Uzufruct", T::Alpha, 50);
        add("Observatii", T::Alpha, 255, true);
    } else if (table == QLatin1String("Concesionari")) {
        add("Id_Loc", T::Number);
        add("Nr_concesiune", T::Number);
        add("Data_concesiune", T::Date);
        add("Act_concesiune", T::Alpha, 100, true);
        add("CNP_Uzufruct", T::Alpha, 13);
        add("Nume_Uzufruct", T::Alpha, 50);
        add("Strada", T::Alpha, 30);
        add("Numarul", T::Alpha, 10);
        add("Bloc", T::Alpha, 10);
        add("Scara", T::Alpha, 2);
        add("Etaj", T::Number);
        add("Apartament", T::Number);
        add("Judet", T::Alpha, 30);
        add("Seria_buletin", T::Alpha, 2);
        add("Nr_buletin", T::Number);
        add("Eliberat_buletin", T::Alpha, 30);
        add("Data_Elib_buletin", T::Date);
        add("Telefon_fix", T::Alpha, 20);
        add("Telefon_mobil", T::Alpha, 20);
        add("Scutit_concesiune", T::Logical);
        add("Nr_doc_scutit", T::Alpha, 10);
        add("Data_doc_scutit", T::Date);
        add("Explicatie", T::Memo, 240);
        add("Nr_ani_concesiune", T::Long, 0, true);
        add("Observatii", T::Alpha, 255, true);
        add("Localitatea", T::Alpha, 30, true);
    } else if (table == QLatin1String("PersInmormantate")) {
        add("Id_Loc", T::Number);
        add("Numar", T::Number);
        add("Data", T::Date);
        add("Numele", T::Alpha, 50);
        add("Grad_rudenie_uzufruct", T::Alpha, 20);
        add("Serie_CD", T::Alpha, 10, true);
        add("Nr_CD", T::Number);
        add("Data_CD", T::Date);
        add("Eliberat_CD", T::Alpha, 50);
    } else if (table == QLatin1String("Chitante")) {
        add("Id_Loc", T::Number);
        add("Nr_chit", T::Number);
        add("Data", T::Date);
        add("Explicatie", T::Alpha, 50);
        add("Suma", T::Number);
        add("Numele_beneficiarului", T::Alpha, 50);
        add("Tip_incasare", T::Alpha, 30);
        add("DStart", T::Date, 0, true);
        add("DStop", T::Date, 0, true);
    } else if (table == QLatin1String("Unitatea")) {
        add("Cimitir", T::Alpha, 30);
    }
    return c;
}

ParadoxWriter::ParadoxWriter(const QString& path, const QList<Column>& columns,
                             const QString& blobPath)
    : m_columns(columns) {
    m_doc = PX_new();
    auto* f =
        static_cast<pxfield_t*>(m_doc->malloc(m_doc, sizeof(pxfield_t) * columns.size(), "fields"));
    int size = 0;
    for (int i = 0; i < columns.size(); ++i) {
        f[i].px_fname = PX_strdup(m_doc, columns.at(i).name.toLatin1().constData());
        f[i].px_ftype = char(pxType(columns.at(i).type));
        f[i].px_flen = rowBytes(columns.at(i));
        f[i].px_fdc = 0;
        size += f[i].px_flen;
    }
    QFile::remove(path);
    if (PX_create_file(m_doc, f, int(columns.size()), QFile::encodeName(path).constData(),
                       pxfFileTypNonIndexDB) < 0)
        throw std::runtime_error("PX_create_file failed");
    PX_set_value(m_doc, "codepage", 1250);
    if (!blobPath.isEmpty()) {
        QFile::remove(blobPath);
        // Writing a .MB through pxlib works; only reading one aborts.
        if (PX_set_blob_file(m_doc, QFile::encodeName(blobPath).constData()) < 0)
            throw std::runtime_error("PX_set_blob_file failed");
    }
    m_row.resize(size);
}

ParadoxWriter::~ParadoxWriter() {
    close();
}

void ParadoxWriter::close() {
    if (!m_doc)
        return;
    PX_close(m_doc);
    PX_delete(m_doc);
    m_doc = nullptr;
}

void ParadoxWriter::add(const QVariantList& values) {
    m_row.fill('\0');
    char* p = m_row.data();
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column& c = m_columns.at(i);
        const int len = rowBytes(c);
        const QVariant v = i < values.size() ? values.at(i) : QVariant();
        if (!v.isNull()) {
            switch (c.type) {
            case Type::Alpha: {
                QByteArray b = toCp1250(v.toString()).left(len);
                PX_put_data_alpha(m_doc, p, len, b.data());
                break;
            }
            case Type::Number:
                PX_put_data_double(m_doc, p, len, v.toDouble());
                break;
            case Type::Short:
                PX_put_data_short(m_doc, p, len, short(v.toInt()));
                break;
            case Type::Long:
                PX_put_data_long(m_doc, p, len, v.toInt());
                break;
            case Type::Date: {
                const qint64 days = v.typeId() == QMetaType::LongLong
                                        ? v.toLongLong()
                                        : v.toDate().toJulianDay() - 1721425;
                PX_put_data_long(m_doc, p, len, int(days));
                break;
            }
            case Type::Logical:
                PX_put_data_byte(m_doc, p, len, v.toBool() ? 1 : 0);
                break;
            case Type::Memo: {
                QByteArray b = toCp1250(v.toString());
                if (PX_put_data_blob(m_doc, p, len, b.data(), int(b.size())) < 0)
                    throw std::runtime_error("PX_put_data_blob failed");
                break;
            }
            }
        }
        p += len;
    }
    if (PX_put_record(m_doc, m_row.data()) < 0)
        throw std::runtime_error("PX_put_record failed");
}
