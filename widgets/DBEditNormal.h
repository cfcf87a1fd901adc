#pragma once

#include <QLineEdit>
#include <QPointer>

class Table;

// A data edit on one field of a table's current row, in the keyboard style
// of the data grid: Enter and Down go on to the next control, Up back to the
// previous one, the page keys move the table, Insert adds a row and
// Ctrl+Delete removes the current one without asking.
class TDBEditNormal : public QLineEdit {
    Q_OBJECT
public:
    explicit TDBEditNormal(QWidget* parent = nullptr);
    ~TDBEditNormal() override;

    void setDataField(Table* table, const QString& field);
    Table* table() const;
    const QString& dataField() const { return m_field; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // The text was changed by the user: the row goes into edit.
    void userEdited();

private:
    void load();
    // Puts what was typed into the field; throws when the value is refused.
    void flush();
    bool commit();

    QPointer<Table> m_table;
    QString m_field;
    bool m_dirty = false;
    bool m_flushing = false;
};
