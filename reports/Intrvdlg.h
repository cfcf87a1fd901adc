#pragma once

#include <QDate>
#include <QDialog>

class TDateEdit;
class QPushButton;

// Asks for a period: two dates, refused when the start lies after the stop.
class TIntervalDlg : public QDialog {
    Q_OBJECT
public:
    explicit TIntervalDlg(QWidget* owner = nullptr);

    void setDates(const QDate& start, const QDate& stop);
    // The dates in the edits (a text that is not a date gives the last one).
    QDate startDate() const;
    QDate stopDate() const;

    // "&Deschide": closes with OK only when the period is not reversed.
    void OkBtnClick();
    // Warns and returns false when the start lies after the stop.
    bool CheckInterval();

    TDateEdit* FirstDateEdit() const { return m_first; }
    TDateEdit* LastDateEdit() const { return m_last; }

protected:
    // Enter in the first date goes on to the second; in the second it
    // acts as "&Deschide".
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool CorrectEnter(QObject* edit);

private:
    TDateEdit* m_first = nullptr;
    TDateEdit* m_last = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_ok = nullptr;
};

// True on OK, and then both dates hold the edited values; on cancel both
// stay as they were.
bool AskInterval(QWidget* owner, QDate& start, QDate& stop);
