#include "FieldLink.h"

#include "Table.h"

#include <QPointer>

void FieldLink::bind(QObject* edit, Table* previous, Table* table, bool& dirty,
                     const std::function<void()>& load, const std::function<void()>& flush) {
    if (previous) {
        QObject::disconnect(previous, nullptr, edit, nullptr);
        previous->removeTextHolder(edit);
    }
    dirty = false;
    if (!table)
        return;
    // Another row, or the row's edit ended: what is stored shows.
    const auto reload = [&dirty, load] {
        dirty = false;
        load();
    };
    QObject::connect(table, &Table::currentChanged, edit, reload);
    QObject::connect(table, &Table::resetDone, edit, reload);
    QPointer<Table> t = table;
    QObject::connect(table, &Table::stateChanged, edit, [t, reload] {
        if (t && !t->isEditing())
            reload();
    });
    QObject::connect(table, &Table::rowChanged, edit, [t, &dirty, load](int row) {
        if (!dirty && t && row == t->currentRow())
            load();
    });
    table->addTextHolder(edit, flush);
}
