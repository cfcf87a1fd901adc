#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace SystemError {

namespace {

struct Known {
    int code;
    const char* text;
};

// The failures a clerk meets saving a list, a copy or a layout.
constexpr Known kKnown[] = {
    {ENOSPC, "discul este plin"},
    {EDQUOT, "s-a depasit spatiul pe disc permis utilizatorului"},
    {EROFS, "discul este doar pentru citire"},
    {EACCES, "nu aveti drept de scriere sau de citire aici"},
    {EPERM, "operatia nu este permisa"},
    {ENOENT, "fisierul sau directorul nu exista"},
    {ENOTDIR, "o parte a caii nu este un director"},
    {EISDIR, "este un director"},
    {EEXIST, "fisierul exista deja"},
    {EIO, "eroare de citire sau scriere pe disc"},
    {EBUSY, "fisierul este folosit de alt program"},
    {ENAMETOOLONG, "numele fisierului este prea lung"},
    {EMFILE, "prea multe fisiere deschise"},
    {ENODEV, "dispozitivul nu exista"},
    {ENXIO, "dispozitivul nu raspunde"},
    {EFBIG, "fisierul este prea mare"},
};

} // namespace

QString text(int code) {
    for (const Known& k : kKnown)
        if (k.code == code)
            return QString::fromLatin1(k.text);
    return QStringLiteral("eroare a sistemului (%1)").arg(code);
}

QString romanian(const QString& systemText) {
    const QString t = systemText.trimmed();
    if (t.isEmpty() || t.compare(QLatin1String("Unknown error"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("eroare necunoscuta a sistemului");
    for (const Known& k : kKnown) {
        const QString english = QString::fromLocal8Bit(std::strerror(k.code));
        // Qt puts its own words before the system's ("Cannot open ...: ").
        if (t.compare(english, Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(k.text);
        if (t.endsWith(QLatin1String(": ") + english, Qt::CaseInsensitive))
            return t.left(t.size() - english.size()) + QString::fromLatin1(k.text);
    }
    return t;
}

} // namespace SystemError
