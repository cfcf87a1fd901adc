#include "dbdate.h"

#include "Clock.h"
#include "DateEdit.h"
#include "Guard.h"
#include "Pickdate.h"
#include "Prompts.h"
#include "Table.h"
#include "Values.h"

#include <QApplication>
#include <QKeyEvent>

TDBDateEdit::TDBDateEdit(QWidget* parent) : TDBEditNormal(parent) {
    m_button = new TDateEditBtn(this);
    connect(m_button, &TDateEditBtn::clicked, this, [this] { openCalendar(); });
    const QFontMetrics fm(font());
    const QFontMetrics sys(QApplication::font());
    setMinimumHeight(fm.height() + std::min(fm.height(), sys.height()) / 4 + 4 + 1);
}

void TDBDateEdit::setDataField(Table* table, const QString& field) {
    if (table && table->isActive() && !field.isEmpty()) { // fields known once open
        const int f = table->fieldIndex(field);
        if (f < 0 || table->fields().at(f).type != FieldType::Date) {
            QApplication::beep();
            Prompts::error(QStringLiteral("\"%1\" is not a date field!").arg(field));
            return;
        }
    }
    TDBEditNormal::setDataField(table, field);
}

bool TDBDateEdit::intoEdit() {
    Table* t = table();
    if (!t || !t->isActive())
        return false;
    if (t->isEditing())
        return true;
    return guarded([t] { t->edit(); });
}

void TDBDateEdit::openCalendar() {
    Table* t = table();
    if (!t || !t->isActive())
        return;
    QDate d = t->isEmpty() ? QDate() : t->value(dataField()).toDate();
    if (!d.isValid())
        d = Clock::today();
    if (!pickDate(this, &d))
        return;
    if (!intoEdit())
        return;
    setText(Values::dateToText(d));
    userEdited();
}

void TDBDateEdit::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
        if (mods & Qt::ControlModifier) {
            event->accept();
            openCalendar();
            return;
        }
        if (mods != Qt::NoModifier) {
            QLineEdit::keyPressEvent(event); // plain edit handling
            return;
        }
        break;
    case Qt::Key_Insert:
        if (mods & Qt::ShiftModifier) {
            if (intoEdit())
                QLineEdit::keyPressEvent(event); // the paste follows
            event->accept();
            return;
        }
        break;
    case Qt::Key_Delete:
        if ((mods & Qt::ShiftModifier) && mods != Qt::ControlModifier) {
            if (intoEdit())
                QLineEdit::keyPressEvent(event); // the cut follows
            event->accept();
            return;
        }
        break;
    default: {
        // A printable character that no date holds is dropped with a beep.
        const QString typed = event->text();
        if (typed.size() == 1 && typed.at(0).isPrint() && !(mods & Qt::ControlModifier)) {
            const QChar c = typed.at(0);
            if (!c.isDigit() && c != Values::dateSeparator() && c != QLatin1Char(' ')) {
                event->accept();
                QApplication::beep();
                return;
            }
        }
        break;
    }
    }
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) {
        if (!intoEdit()) {
            event->accept();
            return;
        }
    }
    TDBEditNormal::keyPressEvent(event);
}

void TDBDateEdit::resizeEvent(QResizeEvent* event) {
    TDBEditNormal::resizeEvent(event);
    m_button->place();
}
