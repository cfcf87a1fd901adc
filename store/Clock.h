#pragma once

#include <QDate>

// The one source of "today" for the whole program; tests fix it.
namespace Clock {
QDate today();
// Fixes today's date (an invalid date returns to the system clock).
void setToday(const QDate& date);
} // namespace Clock
