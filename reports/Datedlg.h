#pragma once

#include <QDate>
#include <QDialog>

class TDateEdit;

// Asks for one date.
class TSelDateDlg : public QDialog {
    Q_OBJECT
public:
    explicit TSelDateDlg(QWidget* owner = nullptr);

    void setDate(const QDate& date);
    QDate date() const;
    TDateEdit* DateEdit() const { return m_edit; }

private:
    TDateEdit* m_edit = nullptr;
};

// True on OK with the edited date; false on cancel, the date unchanged.
bool AskDate(QWidget* owner, QDate& date);
