#include "RepConExpUnt.h"

#include <limits>

QDate DataExpConcesiune(const QVariant& dataConcesiune, const QVariant& nrAni) {
    const QDate start = dataConcesiune.toDate();
    if (dataConcesiune.isNull() || !start.isValid())
        return {};
    const qint64 years = nrAni.isNull() ? 0 : nrAni.toLongLong();
    const qint64 t = qint64(start.year()) + years;
    if (t < std::numeric_limits<int>::min() || t > std::numeric_limits<int>::max())
        return {};
    int day = start.day();
    if (t % 4 != 0 && start.month() == 2 && day == 29)
        day = 28;
    const QDate end(int(t), start.month(), day);
    return end.isValid() ? end.addDays(-1) : QDate();
}
