#pragma once

#include <QObject>
#include <QPointer>

class QLabel;

// Shows in a label the hint of whatever the mouse rests on: the "hint"
// property of the widget under the mouse or of its nearest parent with one.
class HintTracker : public QObject {
    Q_OBJECT
public:
    HintTracker(QLabel* target, QObject* parent = nullptr);
    static QString hintAt(QWidget* widget);
    void update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QLabel> m_target;
};
