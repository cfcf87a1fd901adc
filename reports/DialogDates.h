#pragma once

#include <QDate>

class QLineEdit;

// The date edits of the interval and date dialogs: a masked edit in the
// program's short date format. A text that is not a date reads as the
// last good date.
namespace DialogDates {
QLineEdit* create(QWidget* parent, const char* objectName);
void show(QLineEdit* edit, const QDate& date);
QDate read(const QLineEdit* edit, const QDate& lastGood);
} // namespace DialogDates
