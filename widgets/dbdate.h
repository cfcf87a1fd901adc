#pragma once

#include "DBEditNormal.h"

class TDateEditBtn;

// A data edit on a date field with its calendar button: Ctrl+Enter (or
// Ctrl+Down) opens the calendar, whose pick goes into the row when the
// edit is left or the row saved. The other keys are those of the data edits.
class TDBDateEdit : public TDBEditNormal {
    Q_OBJECT
public:
    explicit TDBDateEdit(QWidget* parent = nullptr);

    // Refuses, with a beep and a message, a field that holds no date; the
    // edit then keeps its previous field.
    void setDataField(Table* table, const QString& field);
    TDateEditBtn* calendarButton() const { return m_button; }
    // The calendar action: starts on the field's date (today when empty).
    void openCalendar();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool intoEdit();
    TDateEditBtn* m_button;
};
