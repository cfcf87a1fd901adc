#pragma once

#include <QPlainTextEdit>
#include <QPointer>

class Table;

// A multi-line data edit on a memo field of a table's current row. Typing
// puts the row into edit; the whole text goes into the field when the memo
// is left or the row saved. Tab leaves the memo.
class TDBMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TDBMemo(QWidget* parent = nullptr);
    ~TDBMemo() override;

    void setDataField(Table* table, const QString& field);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void load();
    void userEdited();
    void flush();

    QPointer<Table> m_table;
    QString m_field;
    bool m_dirty = false;
    bool m_loading = false;
};
