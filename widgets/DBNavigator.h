#pragma once

#include <QWidget>

class QToolButton;
class Table;

// The record navigator: first, prior, next, last, insert, delete, post and
// refresh on one table. It asks no confirmation of its own.
class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Post, Refresh, Count };

    explicit DBNavigator(QWidget* parent = nullptr);
    void setTable(Table* table);
    QToolButton* button(Button b) const { return m_buttons[b]; }
    void updateButtons();

private:
    void run(Button b);

    Table* m_table = nullptr;
    QToolButton* m_buttons[Count] = {};
};
