#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QVariant>

// Shared value helpers: how dates and numbers are written and read as text.
namespace Values {

// The short date format "DD/MM/YYYY" with the system's date separator:
// every date the program shows or reads as text follows it.
QString shortDateFormat();
QChar dateSeparator();
// The locale whose date separator is followed (the system's until set);
// tests pin one so that their texts do not depend on the machine.
void setDateLocale(const QLocale& locale);
// The edit mask of a date edit: two digits, separator, two, separator, four.
QString dateEditMask();
QString dateToText(const QDate& date);
// Reads a date in the short date format; an invalid QDate when it is not one.
// Day and month take one or two digits; a two-digit year is the year ending
// in those digits within the hundred years that start 50 years before the
// current one (in 2026: 1976-2075).
QDate textToDate(const QString& text);
// The same with a given separator and current year.
QDate parseDate(const QString& text, QChar separator, int currentYear);

// Stored form of a date: ISO text, so that SQL compares dates as text.
QString dateToStored(const QDate& date);
QDate storedToDate(const QVariant& stored);

// A number as the grids show it: no grouping, the locale's decimal separator,
// whole numbers without decimals.
QString numberToText(double value);
// Reads a number written with either the locale's separator or a point.
bool textToNumber(const QString& text, double* value);

// A text cut to at most `size` UTF-16 units (no cut when `size` <= 0),
// never in the middle of a character: a half of a surrogate pair stored
// would make the row unreadable to other programs.
QString cutText(const QString& text, int size);

// A sum of money as the reports print it, mask "#,##0.00" with the Romanian
// separators: 1.234,56 (rounded half away from zero to the ban).
QString moneyToText(double value);

// A count with its noun as Romanian writes it: `one` whole for 1 ("un loc"),
// otherwise the number and `many`, with "de" from 20 on ("20 de locuri",
// but "101 locuri").
QString countText(qint64 n, const QString& one, const QString& many);

} // namespace Values
