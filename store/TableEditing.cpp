// The data set's editing: new rows, edits, saves, deletions and the
// settling of linked detail rows before the master moves.
#include "Database.h"
#include "FieldValues.h"
#include "PackedRow.h"
#include "SqlText.h"
#include "StoreError.h"
#include "Table.h"

#include <QScopedValueRollback>
#include <algorithm>

// ---------------------------------------------------------------- editing

void Table::beginNewRow(bool atEnd) {
    requireActive();
    requireWritable();
    checkBrowseMode();
    // A detail row needs its master row stored first.
    if (auto* masterTable = qobject_cast<Table*>(m_master);
        masterTable && m_linkEnabled && masterTable->isEditing())
        masterTable->post();
    // The new row takes its link from the master's current row: the rows
    // around it must be that row's too.
    if (m_master && m_linkEnabled && !showsMasterRow())
        reopenView(false);
    // Where the row goes is known only now: saving a pending row moves rows.
    const int at = atEnd ? storedCount() : std::clamp(m_cur, 0, storedCount());
    m_buffer = Row();
    m_buffer.rowid = -1;
    m_edit = QVector<QVariant>(m_fields.size());
    if (m_master && m_linkEnabled) {
        const QVector<QVariant> link = linkValues();
        for (int i = 0; i < m_linkFields.size(); ++i) {
            const int fi = fieldIndex(m_linkFields.at(i));
            if (fi >= 0)
                m_edit[fi] = link.value(i);
        }
    }
    const int previous = m_cur;
    m_state = TableState::Insert;
    m_cur = at;
    m_initializing = true;
    try {
        if (onNewRecord)
            onNewRecord(*this);
    } catch (...) {
        m_initializing = false;
        m_state = TableState::Browse;
        m_cur = previous;
        m_buffer = Row();
        m_edit.clear();
        // Whatever showed the row in insert state during the handler (its
        // prompts repaint the window) shows the table as it is again.
        emit stateChanged();
        if (!quiet())
            emit currentChanged(m_cur);
        throw;
    }
    m_initializing = false;
    m_modified = false;
    m_bof = m_eof = false;
    if (!quiet()) {
        // The new row appears only now, complete with what onNewRecord set.
        m_state = TableState::Browse;
        m_cur = previous;
        emit aboutToInsertRow(at);
        m_state = TableState::Insert;
        m_cur = at;
        emit rowInserted(at);
    }
    emit stateChanged();
    setCurrent(at);
}

void Table::insert() {
    beginNewRow(false);
}

void Table::append() {
    beginNewRow(true);
}

void Table::edit() {
    requireActive();
    if (isEditing())
        return;
    requireWritable();
    if (m_rows.empty()) {
        insert();
        return;
    }
    const Row* r = displayRow(m_cur);
    if (!r)
        throw StoreError(QStringLiteral("Nu exista o inregistrare curenta"));
    ensureComplete(r);
    m_edit = PackedRow::unpack(r->packed, int(m_fields.size()));
    m_original = m_edit;
    m_buffer = Row();
    m_buffer.rowid = r->rowid;
    m_state = TableState::Edit;
    m_modified = false;
    emit stateChanged();
    if (!quiet())
        emit rowChanged(m_cur);
}

void Table::post() {
    requireActive();
    if (!isEditing())
        return;
    // The master's settling of its details does not post this row twice.
    const QScopedValueRollback<bool> posting(m_posting, true);
    flushTextHolders();
    if (!isEditing())
        return;
    QStringList cols;
    QVariantList binds;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).calculated)
            continue;
        cols << quoted(m_fields.at(i).name);
        binds << m_edit.value(i);
    }
    const bool inserting = m_state == TableState::Insert;
    QString sql;
    if (inserting) {
        QStringList marks;
        for (int i = 0; i < cols.size(); ++i)
            marks << QStringLiteral("?");
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoted(m_stored), cols.join(QStringLiteral(", ")),
                       marks.join(QStringLiteral(", ")));
    } else {
        if (!m_modified) { // nothing to write
            m_state = TableState::Browse;
            emit stateChanged();
            if (!quiet())
                emit rowChanged(m_cur);
            return;
        }
        QStringList sets;
        for (const QString& c : cols)
            sets << c + QStringLiteral(" = ?");
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                  .arg(quoted(m_stored), sets.join(QStringLiteral(", ")));
        binds << m_buffer.rowid;
    }
    Connection& connection = m_db.connection();
    if (inserting) {
        for (int tries = 1;; ++tries) {
            if (beforeInsert) {
                beforeInsert(*this);
                binds.clear();
                for (int i = 0; i < m_fields.size(); ++i)
                    if (!m_fields.at(i).calculated)
                        binds << m_edit.value(i);
            }
            try {
                Statement st = m_db.prepare(sql);
                st.bindAll(binds);
                st.run();
                break;
            } catch (const StoreError& e) {
                if (!beforeInsert || e.kind() != FailureKind::Constraint || tries == 5)
                    throw;
            }
        }
    } else {
        // Only while the row is still as it was read: another clerk's save
        // in between is never overwritten unseen.
        QString unchanged;
        QVariantList checks = binds;
        for (int i = 0, c = 0; i < m_fields.size(); ++i) {
            if (m_fields.at(i).calculated)
                continue;
            unchanged += QStringLiteral(" AND ") + cols.at(c++) + connection.sameValue() +
                         QStringLiteral("?");
            checks << m_original.value(i);
        }
        Statement st = m_db.prepare(sql + unchanged);
        st.bindAll(checks);
        st.run();
        if (connection.changes() == 0) {
            saveOverChanged(); // throws when another clerk changed or deleted the row
            Statement plain = m_db.prepare(sql);
            plain.bindAll(binds);
            plain.run();
            if (connection.changes() == 0)
                saveOverChanged();
        }
    }
    m_db.noteChange(m_stored);
    m_stamp = m_db.changeStamp(m_stored);

    const int oldDisplay = m_cur;
    std::unique_ptr<Row> added;
    Row* row = nullptr;
    if (inserting) {
        added = std::make_unique<Row>();
        added->rowid = connection.lastInsertId();
        row = added.get();
    } else {
        row = const_cast<Row*>(displayRow(m_cur));
    }
    row->packed = PackedRow::pack(m_edit, int(m_fields.size()));
    m_state = TableState::Browse;
    m_modified = false;
    m_buffer = Row();
    m_edit.clear();

    // Keep the row in its place of the current order.
    const int at = m_rows.place(row, std::move(added),
                                [this](const Row* a, const Row* b) { return lessThan(a, b); });

    emit stateChanged();
    if (at == oldDisplay) {
        m_cur = at;
        if (!quiet())
            emit rowChanged(at);
        if (!quiet())
            emit currentChanged(at);
        emit scrolled();
    } else {
        emitReset();
        m_cur = -2; // force the notification
        setCurrent(at);
    }
}

void Table::saveOverChanged() {
    const QByteArray now = m_rows.readStored(m_buffer.rowid);
    if (now.isNull())
        throw StoreError(QStringLiteral("Inregistrarea a fost stearsa de alt utilizator intre "
                                        "timp, asa ca ce ati scris nu a fost salvat. Apasati Esc "
                                        "pentru a renunta la ea."),
                         FailureKind::Conflict);
    const QVector<QVariant> stored = PackedRow::unpack(now, int(m_fields.size()));
    QStringList changed;
    for (int i = 0; i < m_fields.size(); ++i)
        if (!m_fields.at(i).calculated && !FieldValues::same(stored.value(i), m_original.value(i)))
            changed << QStringLiteral("%1: %2").arg(
                m_fields.at(i).name,
                stored.value(i).isNull() ? QStringLiteral("(gol)") : stored.value(i).toString());
    // The same values written another way (a date as text): nobody else
    // changed the row, and the save goes on.
    if (changed.isEmpty())
        return;
    // The row now shows what is stored once the clerk drops the typing; a
    // second save is a choice made knowing the other clerk's values.
    if (Row* kept = const_cast<Row*>(displayRow(m_cur)); kept && kept->rowid == m_buffer.rowid)
        kept->packed = now;
    m_original = stored;
    throw StoreError(QStringLiteral("Inregistrarea a fost modificata de alt utilizator dupa ce ati "
                                    "citit-o. Acum este salvat:\n%1\n\nCe ati scris a ramas in "
                                    "rand si nu a fost salvat: salvati din nou pentru a-l pastra "
                                    "peste valorile de mai sus sau apasati Esc pentru a renunta.")
                         .arg(changed.join(QLatin1Char('\n'))),
                     FailureKind::Conflict);
}

void Table::cancel() {
    requireActive();
    if (m_state == TableState::Edit) {
        m_state = TableState::Browse;
        m_modified = false;
        m_buffer = Row();
        m_edit.clear();
        emit stateChanged();
        if (!quiet())
            emit rowChanged(m_cur);
        emit scrolled();
    } else if (m_state == TableState::Insert) {
        const int at = m_cur;
        if (!quiet())
            emit aboutToRemoveRow(at);
        m_state = TableState::Browse;
        m_modified = false;
        m_buffer = Row();
        m_edit.clear();
        m_cur = -2;
        if (!quiet())
            emit rowRemoved(at);
        emit stateChanged();
        setCurrent(std::min(at, storedCount() - 1));
        m_eof = m_rows.empty();
    }
}

void Table::addTextHolder(const QObject* owner, std::function<void()> flush) {
    removeTextHolder(owner);
    m_textHolders.append({owner, std::move(flush)});
}

void Table::removeTextHolder(const QObject* owner) {
    m_textHolders.removeIf([owner](const auto& h) { return h.first == owner; });
}

void Table::flushTextHolders() {
    if (m_flushing)
        return;
    m_flushing = true;
    try {
        const auto holders = m_textHolders; // a handler may register or leave
        for (const auto& h : holders)
            if (h.second)
                h.second();
    } catch (...) {
        m_flushing = false;
        throw;
    }
    m_flushing = false;
}

void Table::settleDetails() {
    m_details.removeAll(nullptr);
    const auto details = m_details; // a handler may link or unlink
    for (const QPointer<Table>& d : details)
        if (d && d->isActive() && d->m_linkEnabled && !d->m_posting)
            d->checkBrowseMode();
}

void Table::checkBrowseMode() {
    settleDetails();
    if (!isEditing())
        return;
    flushTextHolders();
    if (!isEditing())
        return;
    if (m_modified)
        post();
    else
        cancel();
}

void Table::remove() {
    requireActive();
    settleDetails();
    if (m_state == TableState::Insert) {
        cancel();
        return;
    }
    if (m_rows.empty() || m_cur < 0)
        throw StoreError(QStringLiteral("Nu exista nicio inregistrare de sters"));
    requireWritable();
    Row* row = m_rows.at(m_cur);
    const qint64 rowid = row->rowid;
    try {
        // The row and whatever beforeDelete removes with it go together.
        Transaction tx(m_db);
        if (beforeDelete)
            beforeDelete(*this);
        m_db.exec(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(m_stored)),
                  {QVariant(rowid)});
        tx.commit();
    } catch (...) {
        // Linked tables re-read what the rollback brought back.
        emit scrolled();
        throw;
    }
    m_db.noteChange(m_stored);
    m_stamp = m_db.changeStamp(m_stored);
    // Pending changes of the row go with it, and only once it is gone: a
    // deletion that is declined or fails leaves them being edited.
    if (m_state == TableState::Edit) {
        m_state = TableState::Browse;
        m_modified = false;
        m_buffer = Row();
        m_edit.clear();
        emit stateChanged();
    }
    // beforeDelete may have moved the table; find the row again.
    const int at = viewIndexOf(row);
    if (at < 0) {
        refresh();
        return;
    }
    if (!quiet())
        emit aboutToRemoveRow(at);
    m_rows.erase(row);
    m_cur = -2;
    if (!quiet())
        emit rowRemoved(at);
    setCurrent(std::min(at, storedCount() - 1));
    m_eof = m_rows.empty();
    m_bof = m_cur <= 0;
}

void Table::refresh() {
    requireActive();
    checkBrowseMode();
    const qint64 mark = bookmark();
    const int oldRow = m_cur;
    if (m_stamp != m_db.changeStamp(m_stored)) {
        loadRows();
    } else {
        applyFilter();
    }
    emitReset();
    int at = -1;
    if (mark >= 0)
        at = m_rows.indexOfId(mark);
    if (at < 0)
        at = m_rows.empty() ? -1 : std::clamp(oldRow, 0, storedCount() - 1);
    m_cur = -2;
    setCurrent(at);
    m_eof = m_rows.empty();
    m_bof = at <= 0;
}

void Table::setFiltered(bool on) {
    requireActive();
    if (on == m_filtered)
        return;
    checkBrowseMode();
    m_filtered = on;
    applyFilter();
    emitReset();
    m_cur = -2;
    setCurrent(m_rows.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_rows.empty();
}
