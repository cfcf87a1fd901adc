#include "ServerChoice.h"

#include "StoreError.h"
#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <libpq-fe.h>

namespace ServerChoice {

QString read(const QString& programDir) {
    QFile file(QDir(programDir).filePath(QString::fromLatin1(FileName)));
    if (!file.exists())
        return QString();
    const QString shown = QDir::toNativeSeparators(file.fileName());
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("Nu pot citi fisierul %1: %2")
                             .arg(shown, SystemError::romanian(file.errorString())));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            return line;
    }
    throw StoreError(
        QStringLiteral("Fisierul %1 nu numeste niciun server (o linie ca \"host=server "
                       "dbname=tombrix user=nume\"). Stergeti-l pentru a lucra cu registrul "
                       "din acest calculator.")
            .arg(shown));
}

namespace {

// A value quoted as libpq's keyword=value form reads it back.
QString quoted(const QString& value) {
    QString v = value;
    v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

} // namespace

QString withoutPassword(const QString& conninfo, QString* error) {
    char* err = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &err);
    if (!options) {
        *error = QStringLiteral("Legatura cu serverul \"%1\" nu poate fi citita: %2")
                     .arg(conninfo, err ? QString::fromUtf8(err).trimmed() : QString());
        PQfreemem(err);
        return QString();
    }
    QStringList parts;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (!o->val || qstrcmp(o->keyword, "password") == 0)
            continue;
        parts << QString::fromUtf8(o->keyword) + QLatin1Char('=') +
                     quoted(QString::fromUtf8(o->val));
    }
    PQconninfoFree(options);
    error->clear();
    return parts.join(QLatin1Char(' '));
}

bool write(const QString& programDir, const QString& conninfo, QString* error) {
    const QString clean = withoutPassword(conninfo, error);
    if (clean.isEmpty()) {
        if (error->isEmpty())
            *error = QStringLiteral("Legatura cu serverul este goala.");
        return false;
    }
    QSaveFile file(QDir(programDir).filePath(QString::fromLatin1(FileName)));
    if (file.open(QIODevice::WriteOnly) && file.write(clean.toUtf8() + '\n') >= 0 && file.commit())
        return true;
    *error = QStringLiteral("Nu pot scrie fisierul %1: %2")
                 .arg(QDir::toNativeSeparators(file.fileName()),
                      SystemError::romanian(file.errorString()));
    return false;
}

} // namespace ServerChoice
