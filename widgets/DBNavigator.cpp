#include "DBNavigator.h"

#include "Guard.h"
#include "Table.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace {
struct ButtonDef {
    const char* name;
    const char* glyph;
    const char* hint;
};
const ButtonDef kButtons[DBNavigator::Count] = {
    {"FirstBtn", "|\u25C0", "Prima inregistrare"},
    {"PriorBtn", "\u25C0", "Inregistrarea precedenta"},
    {"NextBtn", "\u25B6", "Inregistrarea urmatoare"},
    {"LastBtn", "\u25B6|", "Ultima inregistrare"},
    {"InsertBtn", "+", "Insereaza inregistrare"},
    {"DeleteBtn", "\u2212", "Sterge inregistrare"},
    {"PostBtn", "\u2713", "Salveaza inregistrare"},
    {"RefreshBtn", "\u21BB", "Actualizeaza inregistrari"},
};
} // namespace

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent) {
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    for (int i = 0; i < Count; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(kButtons[i].name));
        b->setText(QString::fromUtf8(kButtons[i].glyph));
        const QString hint = QString::fromLatin1(kButtons[i].hint);
        b->setToolTip(hint);
        b->setProperty("hint", hint);
        b->setAutoRaise(true);
        b->setFixedSize(25, 22);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, i] { run(static_cast<Button>(i)); });
        lay->addWidget(b);
        m_buttons[i] = b;
    }
    updateButtons();
}

void DBNavigator::setTable(Table* table) {
    m_table = table;
    for (auto sig : {&Table::currentChanged, &Table::rowInserted, &Table::rowRemoved})
        connect(table, sig, this, [this] { updateButtons(); });
    connect(table, &Table::stateChanged, this, [this] { updateButtons(); });
    connect(table, &Table::resetDone, this, [this] { updateButtons(); });
    connect(table, &Table::scrolled, this, [this] { updateButtons(); });
    updateButtons();
}

void DBNavigator::updateButtons() {
    const bool active = m_table && m_table->isActive();
    const bool editing = active && m_table->isEditing();
    const int row = active ? m_table->currentRow() : -1;
    const int rows = active ? m_table->rowCount() : 0;
    m_buttons[First]->setEnabled(active && row > 0);
    m_buttons[Prior]->setEnabled(active && row > 0);
    m_buttons[Next]->setEnabled(active && row >= 0 && row < rows - 1);
    m_buttons[Last]->setEnabled(active && row >= 0 && row < rows - 1);
    m_buttons[Insert]->setEnabled(active);
    m_buttons[Delete]->setEnabled(active && rows > 0);
    m_buttons[Post]->setEnabled(editing);
    m_buttons[Refresh]->setEnabled(active);
}

void DBNavigator::run(Button b) {
    if (!m_table)
        return;
    guarded([&] {
        switch (b) {
        case First:
            m_table->first();
            break;
        case Prior:
            m_table->prior();
            break;
        case Next:
            m_table->next();
            break;
        case Last:
            m_table->last();
            break;
        case Insert:
            m_table->insert();
            break;
        case Delete:
            m_table->remove();
            break;
        case Post:
            m_table->post();
            break;
        case Refresh:
            m_table->refresh();
            break;
        case Count:
            break;
        }
    });
    updateButtons();
}
