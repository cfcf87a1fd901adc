#include "Intrvdlg.h"

#include "DateEdit.h"
#include "Prompts.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TIntervalDlg::TIntervalDlg(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("IntervalDlg"));
    setWindowTitle(QStringLiteral("Setati intervalul dorit:"));
    setProperty("helpContext", 50);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    m_first = new TDateEdit(frame);
    m_first->setObjectName(QStringLiteral("FirstDateEdit"));
    m_last = new TDateEdit(frame);
    m_last->setObjectName(QStringLiteral("LastDateEdit"));
    for (TDateEdit* e : {m_first, m_last})
        e->setMaxLength(10);
    auto* firstLabel = new QLabel(QStringLiteral("&De la data de :"), frame);
    firstLabel->setBuddy(m_first);
    auto* lastLabel = new QLabel(QStringLiteral("&pana în data:"), frame);
    lastLabel->setBuddy(m_last);
    auto* row = new QHBoxLayout(frame);
    row->addWidget(firstLabel);
    row->addWidget(m_first);
    row->addSpacing(8);
    row->addWidget(lastLabel);
    row->addWidget(m_last);
    for (TDateEdit* e : {m_first, m_last})
        e->installEventFilter(this);

    m_cancel = new QPushButton(QStringLiteral("&Inchide"), this);
    m_cancel->setObjectName(QStringLiteral("CancelBtn"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_ok = new QPushButton(QStringLiteral("&Deschide"), this);
    m_ok->setObjectName(QStringLiteral("OkBtn"));
    m_ok->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, &TIntervalDlg::OkBtnClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_ok);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(frame);
    lay->addLayout(buttons);
    lay->setSizeConstraint(QLayout::SetFixedSize);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(sizeHint().width(), sizeHint().height()) / 2);
    m_first->setFocus();
}

void TIntervalDlg::setDates(const QDate& start, const QDate& stop) {
    m_first->setValue(start);
    m_last->setValue(stop);
}

QDate TIntervalDlg::startDate() const {
    return m_first->value();
}

QDate TIntervalDlg::stopDate() const {
    return m_last->value();
}

bool TIntervalDlg::CheckInterval() {
    const QDate start = startDate(), stop = stopDate();
    if (start <= stop)
        return true;
    const QString fmt = QStringLiteral("dd.MM.yyyy");
    Prompts::warning(QStringLiteral("Intervalul de timp nu este corect! ") + stop.toString(fmt) +
                     QStringLiteral(" < ") + start.toString(fmt));
    return false;
}

void TIntervalDlg::OkBtnClick() {
    if (CheckInterval())
        accept();
}

bool TIntervalDlg::CorrectEnter(QObject* edit) {
    if (edit == m_first) {
        m_last->setFocus();
        m_last->selectAll();
    } else {
        OkBtnClick();
    }
    return true;
}

bool TIntervalDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == m_first || watched == m_last)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & Qt::ControlModifier))
            return CorrectEnter(watched);
    }
    return QDialog::eventFilter(watched, event);
}

bool AskInterval(QWidget* owner, QDate& start, QDate& stop) {
    TIntervalDlg dlg(owner);
    dlg.setDates(start, stop);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    start = dlg.startDate();
    stop = dlg.stopDate();
    return true;
}
