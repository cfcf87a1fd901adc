#pragma once

#include <QDate>
#include <QDialog>

class QCalendarWidget;
class QLabel;
class QToolButton;

// The calendar window: the title names the month and year of the chosen
// date, the two arrow buttons and Page Up / Page Down move a month, a double
// click or OK confirms, "&Renunta" cancels.
class TBrDateForm : public QDialog {
    Q_OBJECT
public:
    explicit TBrDateForm(QWidget* parent = nullptr);

    QDate date() const;
    void setDate(const QDate& date);
    QString title() const;
    // Moves the chosen date by whole months (the day is kept where the
    // month has it, else the month's last day).
    void moveMonths(int months);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showTitle();
    bool pageKey(QKeyEvent* event);

    QLabel* m_title = nullptr;
    QCalendarWidget* m_calendar = nullptr;
};

// Shows the calendar window over `owner` on `date` (today's month when the
// date is null); on OK, `date` receives the pick and true is returned.
bool pickDate(QWidget* owner, QDate* date);
