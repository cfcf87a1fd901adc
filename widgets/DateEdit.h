#pragma once

#include <QDate>
#include <QLineEdit>
#include <functional>

class QToolButton;

// The small calendar button inside a date edit, at its right end. It
// forwards its click to the edit's calendar action; pressing it first moves
// the focus to the edit, and Space clicks it when it has the focus itself.
class TDateEditBtn : public QWidget {
    Q_OBJECT
public:
    explicit TDateEditBtn(QLineEdit* edit);
    QLineEdit* focusControl() const { return m_edit; }
    QToolButton* button() const { return m_button; }
    // Keeps the button at the edit's right end and the text clear of it.
    void place();

signals:
    void clicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit;
    QToolButton* m_button;
};

// A masked one-line date edit ("__.__.____" with the system's separator)
// with its calendar button; Ctrl+Enter opens the calendar too. A text that
// is not a date is refused with a beep and the last good date comes back.
class TDateEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QDate Value READ value WRITE setValue)
public:
    explicit TDateEdit(QWidget* parent = nullptr);

    // Reads the text: a date makes the new value; otherwise the beep, the
    // last value's text back and the focus kept here.
    QDate value();
    // The last accepted date, without reading the text.
    QDate lastValue() const { return m_value; }
    void setValue(const QDate& date);

    bool editorEnabled() const { return m_editorEnabled; }
    void setEditorEnabled(bool on) { m_editorEnabled = on; }
    bool autoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool on) { m_autoSelect = on; }

    TDateEditBtn* calendarButton() const { return m_button; }
    // The calendar action: opens the calendar on the date in the text (the
    // last value when the text is not one) and takes the pick.
    void openCalendar();

    // The masked edit's complaint about a half-filled text on leaving.
    static QString invalidInputText();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool readText(bool quiet);
    void refuse();
    void keepFocus();

    QDate m_value;
    bool m_editorEnabled = true;
    bool m_autoSelect = true;
    bool m_checking = false;
    TDateEditBtn* m_button;
};

// The text of a date edit with the unfilled positions removed.
QString dateEditText(const QLineEdit& edit);
