#include "Values.h"

#include "Clock.h"

#include <QLocale>
#include <cmath>

namespace Values {

namespace {
// The separator is read from the locale once: grids ask for it per cell.
QChar g_separator;

QChar separatorOf(const QLocale& locale) {
    const QString fmt = locale.dateFormat(QLocale::ShortFormat);
    for (QChar c : fmt) {
        if (!c.isLetter() && !c.isSpace())
            return c;
    }
    return QLatin1Char('/');
}
} // namespace

void setDateLocale(const QLocale& locale) {
    g_separator = separatorOf(locale);
}

QChar dateSeparator() {
    if (g_separator.isNull())
        g_separator = separatorOf(QLocale::system());
    return g_separator;
}

QString dateEditMask() {
    // A separator that is a mask character must be escaped to stay literal.
    static const QString special = QStringLiteral("AaNnXx90Dd#HhBb><!;[]{}\\");
    QString sep(dateSeparator());
    if (special.contains(sep.at(0)))
        sep.prepend(QLatin1Char('\\'));
    return QStringLiteral("00") + sep + QStringLiteral("00") + sep + QStringLiteral("0000;_");
}

QString shortDateFormat() {
    const QString sep(dateSeparator());
    return QStringLiteral("dd") + sep + QStringLiteral("MM") + sep + QStringLiteral("yyyy");
}

QString dateToText(const QDate& date) {
    return date.isValid() ? date.toString(shortDateFormat()) : QString();
}

QDate textToDate(const QString& text) {
    return parseDate(text, dateSeparator(), Clock::today().year());
}

QDate parseDate(const QString& text, QChar separator, int currentYear) {
    const QStringList parts = text.trimmed().split(separator);
    if (parts.size() != 3)
        return {};
    int numbers[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const QString& p = parts.at(i);
        // Only the digits 0-9: no sign, blank or other script's digit.
        const bool lengthOk =
            i < 2 ? (p.size() == 1 || p.size() == 2) : (p.size() == 2 || p.size() == 4);
        if (!lengthOk)
            return {};
        for (QChar c : p) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
            numbers[i] = numbers[i] * 10 + (c.unicode() - '0');
        }
    }
    int year = numbers[2];
    if (parts.at(2).size() == 2) {
        // The century window: the hundred years from 50 before this one.
        const int start = currentYear - 50;
        year = start + ((year - start % 100) % 100 + 100) % 100;
    }
    if (year < 1 || year > 9999)
        return {};
    return QDate(year, numbers[1], numbers[0]); // invalid when the day is not one
}

QString dateToStored(const QDate& date) {
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

QDate storedToDate(const QVariant& stored) {
    if (stored.isNull())
        return {};
    return QDate::fromString(stored.toString().left(10), Qt::ISODate);
}

QString numberToText(double value) {
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    QLocale loc = QLocale::system();
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(value, 'g', 15);
}

bool textToNumber(const QString& text, double* value) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    QLocale loc = QLocale::system();
    loc.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = loc.toDouble(t, &ok);
    if (!ok)
        v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

QString cutText(const QString& text, int size) {
    if (size <= 0 || text.size() <= size)
        return text;
    qsizetype at = size;
    if (text.at(at - 1).isHighSurrogate())
        --at;
    return text.left(at);
}

QString moneyToText(double value) {
    if (!std::isfinite(value))
        return QString();
    const long long cents = std::llround(std::fabs(value) * 100.0);
    const QString whole = QString::number(cents / 100);
    QString grouped;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            grouped += QLatin1Char('.');
        grouped += whole[i];
    }
    const QString sign = (cents != 0 && value < 0) ? QStringLiteral("-") : QString();
    return sign + grouped + QLatin1Char(',') +
           QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QString countText(qint64 n, const QString& one, const QString& many) {
    if (n == 1)
        return one;
    const qint64 tail = (n < 0 ? -n : n) % 100;
    const bool de = (n >= 20 || n <= -20) && (tail == 0 || tail >= 20);
    return QString::number(n) + (de ? QStringLiteral(" de ") : QStringLiteral(" ")) + many;
}

} // namespace Values
