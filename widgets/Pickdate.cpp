#include "Pickdate.h"

#include "Clock.h"

#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

TBrDateForm::TBrDateForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("BrDateForm"));
    setWindowTitle(QStringLiteral("Selecteaza data"));
    auto* lay = new QVBoxLayout(this);

    auto* head = new QHBoxLayout;
    auto* prev = new QToolButton(this);
    prev->setObjectName(QStringLiteral("PrevMonthBtn"));
    prev->setArrowType(Qt::LeftArrow);
    prev->setFocusPolicy(Qt::NoFocus);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("TitleLabel"));
    m_title->setAlignment(Qt::AlignCenter);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    auto* next = new QToolButton(this);
    next->setObjectName(QStringLiteral("NextMonthBtn"));
    next->setArrowType(Qt::RightArrow);
    next->setFocusPolicy(Qt::NoFocus);
    head->addWidget(prev);
    head->addWidget(m_title, 1);
    head->addWidget(next);
    lay->addLayout(head);

    m_calendar = new QCalendarWidget(this);
    m_calendar->setObjectName(QStringLiteral("Calendar1"));
    m_calendar->setLocale(QLocale(QLocale::Romanian, QLocale::Romania));
    m_calendar->setFirstDayOfWeek(Qt::Monday);
    m_calendar->setNavigationBarVisible(false);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    lay->addWidget(m_calendar);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("&Renunta"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    lay->addWidget(buttons);

    connect(prev, &QToolButton::clicked, this, [this] { moveMonths(-1); });
    connect(next, &QToolButton::clicked, this, [this] { moveMonths(1); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_calendar, &QCalendarWidget::selectionChanged, this, &TBrDateForm::showTitle);
    // A double click (or Enter) on a day confirms it.
    connect(m_calendar, &QCalendarWidget::activated, this, &QDialog::accept);
    // The calendar's own view takes the keys first; the page keys are ours.
    for (QTableView* view : m_calendar->findChildren<QTableView*>())
        view->installEventFilter(this);
    m_calendar->installEventFilter(this);
    setDate(Clock::today());
    m_calendar->setFocus();
}

QDate TBrDateForm::date() const {
    return m_calendar->selectedDate();
}

void TBrDateForm::setDate(const QDate& date) {
    m_calendar->setSelectedDate(date);
    m_calendar->setCurrentPage(date.year(), date.month());
    showTitle();
}

void TBrDateForm::moveMonths(int months) {
    setDate(date().addMonths(months));
}

QString TBrDateForm::title() const {
    return m_title->text();
}

void TBrDateForm::showTitle() {
    const QDate d = date();
    m_title->setText(QStringLiteral("%1, %2")
                         .arg(QLocale(QLocale::Romanian, QLocale::Romania).monthName(d.month()))
                         .arg(d.year(), 4, 10, QLatin1Char('0')));
    if (m_calendar->yearShown() != d.year() || m_calendar->monthShown() != d.month())
        m_calendar->setCurrentPage(d.year(), d.month());
}

bool TBrDateForm::pageKey(QKeyEvent* event) {
    if (event->key() == Qt::Key_PageUp) {
        moveMonths(-1);
        return true;
    }
    if (event->key() == Qt::Key_PageDown) {
        moveMonths(1);
        return true;
    }
    return false;
}

bool TBrDateForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && pageKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TBrDateForm::keyPressEvent(QKeyEvent* event) {
    if (!pageKey(event))
        QDialog::keyPressEvent(event);
}

bool pickDate(QWidget* owner, QDate* date) {
    TBrDateForm form(owner ? owner->window() : nullptr);
    form.setDate(date->isValid() ? *date : Clock::today());
    form.adjustSize();
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
        QRect r = form.frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        form.move(r.topLeft());
    }
    if (form.exec() != QDialog::Accepted)
        return false;
    *date = form.date();
    return true;
}
