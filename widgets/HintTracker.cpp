#include "HintTracker.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QLabel>

HintTracker::HintTracker(QLabel* target, QObject* parent) : QObject(parent), m_target(target) {
    qApp->installEventFilter(this);
}

QString HintTracker::hintAt(QWidget* w) {
    for (; w; w = w->parentWidget()) {
        const QString h = w->property("hint").toString();
        if (!h.isEmpty())
            return h;
    }
    return {};
}

void HintTracker::update() {
    if (!m_target)
        return;
    const QString h = hintAt(QApplication::widgetAt(QCursor::pos()));
    if (h != m_target->text())
        m_target->setText(h);
}

bool HintTracker::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Enter || event->type() == QEvent::Leave) &&
        watched->isWidgetType())
        update();
    return QObject::eventFilter(watched, event);
}
