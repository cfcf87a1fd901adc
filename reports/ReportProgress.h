#pragma once

#include <QString>

class QLabel;

// Where the reports write their progress: the main window's status line,
// handed over at start-up. Before that the texts go nowhere.
namespace ReportProgress {
void setPanel(QLabel* panel);
QLabel* panel();
// Replaces the panel's text and repaints it at once.
void show(const QString& text);
} // namespace ReportProgress
