#include "DBCheckBoxNormal.h"

#include "DBGNorm.h"
#include "Guard.h"
#include "Table.h"

#include <QKeyEvent>

TDBCheckBoxNormal::TDBCheckBoxNormal(QWidget* parent) : QCheckBox(parent) {
    connect(this, &QCheckBox::toggled, this, &TDBCheckBoxNormal::userToggled);
}

Table* TDBCheckBoxNormal::table() const {
    return m_table;
}

void TDBCheckBoxNormal::setDataField(Table* table, const QString& field) {
    if (m_table)
        disconnect(m_table, nullptr, this, nullptr);
    m_table = table;
    m_field = field;
    if (table) {
        connect(table, &Table::currentChanged, this, [this] { load(); });
        connect(table, &Table::resetDone, this, [this] { load(); });
        connect(table, &Table::stateChanged, this, [this] { load(); });
        connect(table, &Table::rowChanged, this, [this](int row) {
            if (m_table && row == m_table->currentRow())
                load();
        });
    }
    load();
}

void TDBCheckBoxNormal::load() {
    const bool active = m_table && m_table->isActive();
    const int f = active ? m_table->fieldIndex(m_field) : -1;
    const int row = active ? m_table->currentRow() : -1;
    m_loading = true;
    setChecked(f >= 0 && row >= 0 && m_table->valueAt(row, f).toBool());
    m_loading = false;
}

// The field takes the new state at once.
void TDBCheckBoxNormal::userToggled(bool checked) {
    if (m_loading || !m_table || !m_table->isActive())
        return;
    if (!guarded([this, checked] {
            m_table->edit();
            m_table->setValue(m_field, checked);
        }))
        load();
}

void TDBCheckBoxNormal::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        moveFocus(this, true);
        event->accept();
        return;
    }
    QCheckBox::keyPressEvent(event);
}
