#include "StoreFailure.h"

#include <QDir>

namespace StoreFailure {

namespace {

QString withStoreText(const QString& text, const QString& storeText) {
    const QString raw = storeText.trimmed();
    return raw.isEmpty() ? text : text + QStringLiteral("\n<") + raw + QLatin1Char('>');
}

} // namespace

QString inUse(const QString& where, const QString& storeText) {
    return withStoreText(
        QStringLiteral("Baza de date %1 este folosita de alt program. Asteptati sa termine "
                       "sau inchideti acel program, apoi incercati din nou.")
            .arg(QDir::toNativeSeparators(where)),
        storeText);
}

QString describe(const QString& where, FailureKind kind, const QString& storeText) {
    const QString name = QDir::toNativeSeparators(where);
    switch (kind) {
    case FailureKind::Locked:
        return inUse(where, storeText);
    case FailureKind::ReadOnly:
        return withStoreText(
            QStringLiteral("Baza de date %1 nu poate fi scrisa: fisierul sau directorul ei este "
                           "doar pentru citire. Cereti drept de scriere pentru ele, apoi porniti "
                           "din nou programul.")
                .arg(name),
            storeText);
    case FailureKind::Full:
        return withStoreText(
            QStringLiteral("Discul pe care se afla baza de date %1 este plin. Eliberati spatiu "
                           "pe disc, apoi incercati din nou.")
                .arg(name),
            storeText);
    case FailureKind::Damaged:
        return withStoreText(
            QStringLiteral("Baza de date %1 este deteriorata. Inchideti programul si restaurati "
                           "ultima copie zilnica buna.")
                .arg(name),
            storeText);
    case FailureKind::IO:
        return withStoreText(
            QStringLiteral("Baza de date %1 nu poate fi citita sau scrisa pe disc. Verificati "
                           "ca discul este la locul lui si functioneaza, apoi incercati din nou.")
                .arg(name),
            storeText);
    case FailureKind::ConnectionLost:
        return withStoreText(
            QStringLiteral("Legatura cu baza de date %1 s-a intrerupt. Ce ati scris nu a fost "
                           "salvat; incercati din nou cand serverul raspunde.")
                .arg(name),
            storeText);
    case FailureKind::Conflict:
        return withStoreText(QStringLiteral("Inregistrarea a fost modificata de alt utilizator "
                                            "dupa ce ati citit-o. Reincarcati datele."),
                             storeText);
    case FailureKind::Constraint:
    case FailureKind::Other:
        break;
    }
    return storeText;
}

StoreError error(const QString& where, FailureKind kind, const QString& storeText) {
    return StoreError(describe(where, kind, storeText), kind, storeText);
}

} // namespace StoreFailure
