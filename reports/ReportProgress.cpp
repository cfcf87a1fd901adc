#include "ReportProgress.h"

#include <QLabel>
#include <QPointer>

namespace {
QPointer<QLabel> g_panel;
}

void ReportProgress::setPanel(QLabel* panel) { g_panel = panel; }

QLabel* ReportProgress::panel() { return g_panel; }

void ReportProgress::show(const QString& text) {
    if (!g_panel)
        return;
    g_panel->setText(text);
    g_panel->repaint();
}
