#include "DateEdit.h"

#include "Clock.h"
#include "Pickdate.h"
#include "Prompts.h"
#include "Values.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {

// The calendar glyph: a page with a red top band and a grid of days.
QIcon calendarGlyph() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(192, 32, 32));
    for (int y = 8; y <= 12; y += 2)
        for (int x = 3; x <= 12; x += 3)
            p.fillRect(x, y, 2, 1, QColor(64, 64, 64));
    return QIcon(pm);
}

} // namespace

QString dateEditText(const QLineEdit& edit) {
    QString t = edit.displayText();
    t.remove(QLatin1Char('_'));
    return t.trimmed();
}

// ---------------------------------------------------------------- button

TDateEditBtn::TDateEditBtn(QLineEdit* edit) : QWidget(edit), m_edit(edit) {
    setObjectName(QStringLiteral("DateEditBtn"));
    setCursor(Qt::ArrowCursor);
    m_button = new QToolButton(this);
    m_button->setAutoRaise(true);
    m_button->setIcon(calendarGlyph());
    m_button->setFocusPolicy(Qt::NoFocus); // Tab goes past it, to the next control
    m_button->installEventFilter(this);
    connect(m_button, &QToolButton::clicked, this, &TDateEditBtn::clicked);
    place();
}

void TDateEditBtn::place() {
    const int h = m_edit->height();
    const int w = std::max(18, std::min(24, h - 5));
    setGeometry(std::max(0, m_edit->width() - w - 2), std::max(0, (h - w) / 2), w,
                std::min(h, std::max(18, w)));
    m_button->setGeometry(rect());
    m_edit->setTextMargins(0, 0, w + 2, 0);
}

bool TDateEditBtn::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_button && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // The edit takes the focus first, so that it is read before the pick.
        if ((m_edit->focusPolicy() & Qt::TabFocus) && m_edit->isEnabled() && !m_edit->hasFocus())
            m_edit->setFocus(Qt::MouseFocusReason);
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- edit

TDateEdit::TDateEdit(QWidget* parent) : QLineEdit(parent) {
    setInputMask(Values::dateEditMask());
    m_button = new TDateEditBtn(this);
    connect(m_button, &TDateEditBtn::clicked, this, [this] { openCalendar(); });
    // Never lower than the font needs.
    const QFontMetrics fm(font());
    const QFontMetrics sys(QApplication::font());
    setMinimumHeight(fm.height() + std::min(fm.height(), sys.height()) / 4 + 4 + 2);
    setValue(Clock::today());
}

QString TDateEdit::invalidInputText() {
    return QStringLiteral("Invalid input value.  Use escape key to abandon changes");
}

void TDateEdit::setValue(const QDate& date) {
    m_value = date;
    setText(Values::dateToText(date));
}

bool TDateEdit::readText(bool quiet) {
    const QString typed = dateEditText(*this);
    const QDate d = Values::textToDate(typed);
    if (d.isValid()) {
        m_value = d;
        // A two-digit year is a date typed whole: it shows with its century.
        if (typed.section(Values::dateSeparator(), -1).size() == 2)
            setValue(d);
        return true;
    }
    if (!quiet)
        refuse();
    return false;
}

void TDateEdit::refuse() {
    QApplication::beep();
    setValue(m_value); // a restored text does not count as changed
    keepFocus();
}

void TDateEdit::keepFocus() {
    if (!hasFocus())
        QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
}

QDate TDateEdit::value() {
    readText(false);
    return m_value;
}

void TDateEdit::openCalendar() {
    readText(true);
    QDate d = m_value;
    if (pickDate(this, &d))
        setValue(d);
}

void TDateEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ControlModifier)) {
        event->accept();
        openCalendar();
        return;
    }
    if (event->key() == Qt::Key_Escape && isModified()) {
        event->accept();
        setValue(m_value);
        selectAll();
        return;
    }
    if ((!m_editorEnabled || isReadOnly()) &&
        (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDateEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (m_autoSelect && event->reason() != Qt::MouseFocusReason)
        QTimer::singleShot(0, this, [this] {
            if (hasFocus())
                selectAll();
        });
}

void TDateEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A dialog opening (the calendar, a message) is not leaving the edit.
    if (m_checking || event->reason() == Qt::PopupFocusReason ||
        event->reason() == Qt::ActiveWindowFocusReason)
        return;
    m_checking = true;
    if (readText(false) && isModified() && displayText().contains(QLatin1Char('_'))) {
        QApplication::beep();
        keepFocus();
        Prompts::error(invalidInputText());
    }
    m_checking = false;
}

void TDateEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    m_button->place();
}
