#include "StoreFailure.h"

#include <QDir>
#include <QSqlError>
#include <sqlite3.h>

namespace StoreFailure {

namespace {

QString withStoreText(const QString& text, const QString& storeText) {
    const QString raw = storeText.trimmed();
    return raw.isEmpty() ? text : text + QStringLiteral("\n<") + raw + QLatin1Char('>');
}

} // namespace

QString inUse(const QString& file, const QString& storeText) {
    return withStoreText(
        QStringLiteral("Baza de date %1 este folosita de alt program. Asteptati sa termine "
                       "sau inchideti acel program, apoi incercati din nou.")
            .arg(QDir::toNativeSeparators(file)),
        storeText);
}

QString describe(const QString& file, int code, const QString& storeText) {
    const QString name = QDir::toNativeSeparators(file);
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return inUse(file, storeText);
    case SQLITE_READONLY:
        return withStoreText(
            QStringLiteral("Baza de date %1 nu poate fi scrisa: fisierul sau directorul ei este "
                           "doar pentru citire. Cereti drept de scriere pentru ele, apoi porniti "
                           "din nou programul.")
                .arg(name),
            storeText);
    case SQLITE_FULL:
        return withStoreText(
            QStringLiteral("Discul pe care se afla baza de date %1 este plin. Eliberati spatiu "
                           "pe disc, apoi incercati din nou.")
                .arg(name),
            storeText);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return withStoreText(
            QStringLiteral("Baza de date %1 este deteriorata. Inchideti programul si restaurati "
                           "ultima copie zilnica buna.")
                .arg(name),
            storeText);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return withStoreText(
            QStringLiteral("Baza de date %1 nu poate fi citita sau scrisa pe disc. Verificati "
                           "ca discul este la locul lui si functioneaza, apoi incercati din nou.")
                .arg(name),
            storeText);
    default:
        return storeText;
    }
}

StoreError error(const QString& file, int code, const QString& storeText) {
    return StoreError(describe(file, code, storeText));
}

int codeOf(const QSqlError& e) {
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok);
    return ok ? code : 0;
}

StoreError error(const QString& file, const QSqlError& e) {
    return error(file, codeOf(e), e.text());
}

} // namespace StoreFailure
