#pragma once

#include <QDate>
#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks for a period: two dates, refused when the start lies after the stop.
class TIntervalDlg : public QDialog {
    Q_OBJECT
public:
    explicit TIntervalDlg(QWidget* owner = nullptr);

    void setDates(const QDate& start, const QDate& stop);
    QDate startDate() const;
    QDate stopDate() const;

    // "&Deschide": closes with OK only when the period is not reversed.
    void OkBtnClick();
    // Warns and returns false when the start lies after the stop.
    bool CheckInterval();

    QLineEdit* FirstDateEdit() const { return m_first; }
    QLineEdit* LastDateEdit() const { return m_last; }

protected:
    // Enter in the first date goes on to the second; in the second it
    // acts as "&Deschide".
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool CorrectEnter(QObject* edit);

private:
    QLineEdit* m_first = nullptr;
    QLineEdit* m_last = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_ok = nullptr;
    QDate m_start, m_stop; // the last dates read well
};

// True on OK, and then both dates hold the edited values; on cancel both
// stay as they were.
bool AskInterval(QWidget* owner, QDate& start, QDate& stop);
