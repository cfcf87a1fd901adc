#pragma once

#include <QDate>
#include <QDialog>

class QLineEdit;

// Asks for one date.
class TSelDateDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSelDateDlg(QWidget* owner = nullptr);

    void setDate(const QDate& date);
    QDate date() const;
    QLineEdit* DateEdit() const { return m_edit; }

private:
    QLineEdit* m_edit = nullptr;
    QDate m_date;
};

// True on OK with the edited date; false on cancel, the date unchanged.
bool AskDate(QWidget* owner, QDate& date);
