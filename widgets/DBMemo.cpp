#include "DBMemo.h"

#include "FieldLink.h"
#include "Guard.h"
#include "Table.h"

#include <QKeyEvent>

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] { userEdited(); });
}

TDBMemo::~TDBMemo() {
    if (m_table)
        m_table->removeTextHolder(this);
}

void TDBMemo::setDataField(Table* table, const QString& field) {
    FieldLink::bind(
        this, m_table, table, m_dirty, [this] { load(); }, [this] { flush(); });
    m_table = table;
    m_field = field;
    load();
}

void TDBMemo::load() {
    const bool active = m_table && m_table->isActive();
    const int row = active ? m_table->currentRow() : -1;
    const QString shown = row >= 0 ? m_table->value(m_field).toString() : QString();
    if (toPlainText() == shown)
        return;
    m_loading = true;
    setPlainText(shown);
    m_loading = false;
}

void TDBMemo::userEdited() {
    if (m_loading || m_dirty || !m_table || !m_table->isActive())
        return;
    m_dirty = true;
    if (m_table->isEditing())
        return;
    const QString typed = toPlainText();
    if (!guarded([this] { m_table->edit(); })) {
        m_dirty = false;
        load();
        return;
    }
    m_dirty = true;
    if (toPlainText() != typed) {
        m_loading = true;
        setPlainText(typed);
        m_loading = false;
        moveCursor(QTextCursor::End);
    }
}

void TDBMemo::flush() {
    if (!m_dirty || !m_table || !m_table->isActive() || m_table->currentRow() < 0)
        return;
    m_dirty = false;
    const QString text = toPlainText();
    if (m_table->value(m_field).toString() != text) {
        m_table->edit();
        m_table->setValue(m_field, text); // a memo is kept whole, whatever its length
    }
}

void TDBMemo::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_dirty) {
        event->accept();
        m_dirty = false;
        load();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        guarded([this] { flush(); });
}
