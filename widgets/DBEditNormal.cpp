#include "DBEditNormal.h"

#include "DBGNorm.h"
#include "DBGridModel.h"
#include "FieldLink.h"
#include "Guard.h"
#include "Table.h"

#include <QKeyEvent>
#include <QScopeGuard>
#include <QTimer>
#include <functional>

TDBEditNormal::TDBEditNormal(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, [this] { userEdited(); });
    load();
}

Table* TDBEditNormal::table() const {
    return m_table;
}

TDBEditNormal::~TDBEditNormal() {
    if (m_table)
        m_table->removeTextHolder(this);
}

void TDBEditNormal::setDataField(Table* table, const QString& field) {
    FieldLink::bind(
        this, m_table, table, m_dirty, [this] { load(); }, [this] { flush(); });
    m_table = table;
    m_field = field;
    load();
}

void TDBEditNormal::load() {
    const bool active = m_table && m_table->isActive();
    const int f = active ? m_table->fieldIndex(m_field) : -1;
    const int row = active ? m_table->currentRow() : -1;
    const QString shown =
        (f >= 0 && row >= 0) ? DBGridModel::fieldText(*m_table, row, f) : QString();
    setReadOnly(f < 0 || m_table->fields().at(f).calculated);
    int maxLength = 32767;
    if (f >= 0 && m_table->fields().at(f).type == FieldType::Text)
        maxLength = m_table->fields().at(f).size;
    setMaxLength(std::max<int>(maxLength, int(shown.size())));
    if (text() != shown)
        setText(shown);
    setModified(false);
}

void TDBEditNormal::userEdited() {
    if (m_dirty || !m_table || !m_table->isActive())
        return;
    m_dirty = true;
    if (m_table->isEditing())
        return;
    // Going into edit may start a new row (an empty table) and show it; what
    // was typed stays.
    const QString typed = text();
    const int caret = cursorPosition();
    if (!guarded([this] { m_table->edit(); })) {
        m_dirty = false;
        load();
        return;
    }
    m_dirty = true;
    if (text() != typed) {
        setText(typed);
        setCursorPosition(caret);
    }
}

void TDBEditNormal::flush() {
    if (!m_dirty || m_flushing || !m_table || !m_table->isActive())
        return;
    m_flushing = true;
    const auto done = qScopeGuard([this] { m_flushing = false; });
    const int f = m_table->fieldIndex(m_field);
    const int row = m_table->currentRow();
    if (f < 0 || row < 0) {
        m_dirty = false;
        return;
    }
    const QString typed = text();
    if (DBGridModel::fieldText(*m_table, row, f) != typed) {
        m_table->edit();
        m_table->setAsString(m_table->fields().at(f).name, typed);
    }
    m_dirty = false;
}

bool TDBEditNormal::commit() {
    if (!m_dirty)
        return true;
    return guarded([this] { flush(); });
}

void TDBEditNormal::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const auto run = [this, event](const std::function<void(Table&)>& action) {
        event->accept();
        if (m_table && m_table->isActive())
            guarded([this, &action] { action(*m_table); });
    };
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
        if (mods == Qt::NoModifier) {
            event->accept();
            moveFocus(this, true);
            return;
        }
        break;
    case Qt::Key_Up:
        event->accept();
        if (mods == Qt::NoModifier)
            moveFocus(this, false);
        return;
    case Qt::Key_PageUp:
        run([](Table& t) { t.prior(); });
        return;
    case Qt::Key_PageDown:
        run([](Table& t) { t.next(); });
        return;
    case Qt::Key_Insert:
        run([](Table& t) { t.insert(); });
        return;
    case Qt::Key_Delete:
        if (mods == Qt::ControlModifier) {
            // No question asked here, unlike the grids.
            run([](Table& t) {
                if (t.state() == TableState::Insert)
                    t.cancel();
                else
                    t.remove();
            });
            return;
        }
        break;
    case Qt::Key_R:
        if (mods == Qt::ControlModifier) {
            run([](Table& t) { t.refresh(); });
            return;
        }
        break;
    case Qt::Key_U:
        if (mods == Qt::ControlModifier) {
            run([](Table& t) { t.cancel(); });
            return;
        }
        break;
    case Qt::Key_Escape:
        if (m_dirty) {
            event->accept();
            m_dirty = false;
            load();
            selectAll();
            return;
        }
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEditNormal::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Only going on to another control takes the text into the row; a
    // dialog or menu opening (perhaps while the text is being taken) does not.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason ||
        commit())
        return;
    // A refused value: back to it for correcting.
    QTimer::singleShot(0, this, [this] {
        setFocus(Qt::OtherFocusReason);
        selectAll();
    });
}
