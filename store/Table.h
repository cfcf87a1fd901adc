#pragma once

#include "DataSet.h"
#include "RowView.h"
#include "Schema.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

class Database;

enum class TableState { Inactive, Browse, Edit, Insert };

// The data set over one table of the register: a current row, the states
// browse / edit / insert, the events of the editing rules, the link to a
// master, a row filter and the order of an index. The view is the list of
// row ids in index order, read from the index; a row's values are read when
// first needed and kept. Writes go straight to SQLite and update the kept
// rows in place.
class Table : public DataSet {
    Q_OBJECT
public:
    using Hook = std::function<void(Table&)>;
    // Runs after a new value is put into the field (readable through value());
    // throwing rejects the value, and the field keeps its previous one.
    using Validator = std::function<void(Table&, const QString& field)>;
    // Reads the candidate row through value(); returns whether to show it.
    using FilterFn = std::function<bool(const Table&)>;

    explicit Table(Database& db, QObject* parent = nullptr);
    ~Table() override;

    Database& database() const { return m_db; }

    // The table is named by its file name ("Catalog.DB"), matched without
    // regard to case.
    void setTableName(const QString& fileName);
    const QString& tableName() const { return m_fileName; }
    const QString& storedName() const { return m_stored; }

    void open();
    void close();
    bool isActive() const override { return m_state != TableState::Inactive; }
    TableState state() const { return m_state; }
    bool isEditing() const { return m_state == TableState::Edit || m_state == TableState::Insert; }
    bool modified() const { return m_modified; }

    // --- fields
    // A calculated field, added before the table is opened; its value comes
    // from onCalcFields and is never stored.
    void addCalcField(const QString& name, FieldType type);
    const QList<FieldDef>& fields() const { return m_fields; }
    int fieldIndex(const QString& name) const; // -1 when absent; case ignored
    bool hasField(const QString& name) const override { return fieldIndex(name) >= 0; }
    const FieldDef& fieldDef(const QString& name) const; // StoreError when absent
    // The stored fields as the file holds them now, read without opening
    // the table (no rows are loaded); StoreError when it cannot be read.
    QList<FieldDef> storedFields() const;

    // --- indexes
    // The table's indexes as stored in the file, each with its field list;
    // read from the file when the table is not open.
    QList<IndexDef> indexDefs() const;
    // Orders the rows by the named index; an empty name gives the primary
    // order. The current row stays current. Named before open(), the rows
    // are read in that order at once.
    void setIndexName(const QString& name);
    const QString& indexName() const { return m_indexName; }

    // --- master link
    // Shows only the rows whose `fields` equal `masterFields` (the same
    // names when empty) of the master's current row, following it as it
    // moves; a new row takes the link values first.
    void setMasterLink(DataSet* master, const QStringList& fields,
                       const QStringList& masterFields = {});
    // Cuts (false) or restores (true) the link; cut, all rows are shown.
    void setLinkEnabled(bool enabled);
    bool linkEnabled() const { return m_linkEnabled; }
    DataSet* master() const { return m_master; }

    // --- moving
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return rowCount() == 0; }
    int recordCount() const { return m_rows.size(); }
    // The ordinal of the current row in the current order, from 1; during
    // onCalcFields, that of the row being calculated.
    int recNo() const;
    // Rows as a grid shows them: the stored rows plus a new unposted one.
    int rowCount() const;
    int currentRow() const { return m_cur; }
    // Makes a display row current, saving a pending edit first.
    void moveTo(int row);
    bool locate(const QString& field, const QVariant& value);
    qint64 bookmark() const;
    bool gotoBookmark(qint64 bookmark);
    // The row id of a display row; -1 for the new unposted row or none.
    qint64 rowIdAt(int row) const;

    // --- scans
    // A field's value as the file stores it, handed to a scan.
    struct StoredValue {
        enum Kind { Null, Integer, Real, Text } kind = Null;
        qint64 integer = 0;
        double real = 0;
        const char* text = nullptr; // UTF-8, `bytes` long, not terminated
        int bytes = 0;
    };
    // Reads one stored field of every row under the link straight from the
    // file, in no particular order and without keeping the rows: a search
    // looks at each row once. A pending edit is not seen; save it first.
    void scanField(int field,
                   const std::function<void(qint64 rowid, const StoredValue&)>& each) const;

    // --- editing
    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void remove();
    // Saves a modified row, drops an untouched one; the rows pending in the
    // linked detail tables are settled first, so that a failure there stops
    // whatever was going to move this table.
    void checkBrowseMode();
    // Controls that hold typed text not yet put into the row (a grid's cell
    // editor, a data edit) hand it over before the row is saved or dropped,
    // so that nothing typed is lost; a handler that throws stops the save.
    void addTextHolder(const QObject* owner, std::function<void()> flush);
    void removeTextHolder(const QObject* owner);
    // Hands over what the controls hold typed; StoreError when the field
    // refuses it.
    void takeTypedText() { flushTextHolders(); }
    // Saves a pending edit, then re-reads the rows (when they changed) and
    // applies the filter anew, keeping the current row where it still shows.
    void refresh();

    QVariant value(const QString& name) const override;
    QVariant value(int field) const;
    // A field's value as text, as stored (dates as ISO text): the row
    // filter reads it for every place at every keystroke.
    QString storedText(int field) const;
    // The same as UTF-8 bytes, without making a string: a text is read in
    // place in the row (valid until the row changes), anything else is
    // written into `spare`.
    QByteArrayView storedUtf8(int field, QByteArray* spare) const;
    void setValue(const QString& name, const QVariant& value);
    // Converts a typed text by the field's type; StoreError when it is not one.
    void setAsString(const QString& name, const QString& text);

    // A display row's value, for the grids.
    QVariant valueAt(int row, int field) const;
    // Reads the values of every row not read yet, in one pass: a walk over
    // all rows (an export) then reads nothing row by row.
    void readAllValues() const { ensureAllComplete(); }
    bool isNewRow(int row) const { return m_state == TableState::Insert && row == m_cur; }

    // --- filter
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }
    FilterFn onFilterRecord;

    // --- events
    Hook onNewRecord;
    // Runs just before a new row is written, and again when a rule of the
    // table refused it (another clerk took its key meanwhile): lets keys be
    // taken at the moment of the save.
    Hook beforeInsert;
    Hook beforeDelete; // throwing Abort cancels the deletion silently
    Hook afterScroll;
    Hook onCalcFields;
    void setValidator(const QString& field, Validator validator);

    // Suspends the notifications to the grids during bulk work.
    void disableControls();
    void enableControls();

signals:
    void aboutToReset();
    void resetDone();
    void aboutToInsertRow(int row);
    void rowInserted(int row);
    void aboutToRemoveRow(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void currentChanged(int row);
    void stateChanged();

private:
    using Row = RowView::Row;

    // After a save that changed no row: returns when the row is stored as
    // it was read; StoreError (Conflict) when another clerk changed or
    // deleted it, keeping the clerk's typing in the row.
    void saveOverChanged();

    void requireActive() const;
    void requireEditing() const;
    void requireWritable() const;
    int storedCount() const;
    void loadRows();
    void sortRows();
    // The rows under the link in the current order, for the row view.
    RowView::Selection selection() const;
    QString orderBy() const;
    // A row's stored value (dates as ISO text, logicals as 0/1); the row
    // being edited answers from its editing values.
    QVariant stored(const Row* row, int field) const;
    void ensureComplete(const Row* row) const;
    void ensureAllComplete() const;
    void applyFilter();
    bool accepts(const Row* row) const;
    bool lessThan(const Row* a, const Row* b) const;
    const Row* displayRow(int row) const;
    int viewIndexOf(const Row* row) const;
    QVector<QVariant> linkValues() const;
    void masterMoved();
    // Whether the rows under the link are those of the master's current row.
    bool showsMasterRow() const;
    // The detail tables linked to this one: their pending rows are settled
    // before this table moves, so they never end up on another place.
    void settleDetails();
    QList<QPointer<Table>> m_details;
    QPointer<Table> m_masterTable; // the master, when it is a table
    bool m_posting = false;
    void reopenView(bool keepCurrent);
    void beginNewRow(bool atEnd);
    void setCurrent(int row, bool notify = true);
    void notifyScrolled();
    QVariant calcValue(int row, int field) const;

    // Grid notifications, held back while controls are disabled.
    void emitReset();
    bool quiet() const { return m_disabled > 0 || m_initializing; }

    Database& m_db;
    QString m_fileName;
    QString m_stored;
    TableState m_state = TableState::Inactive;
    bool m_modified = false;
    QList<FieldDef> m_fields;
    QList<FieldDef> m_calcFields;
    mutable QHash<QString, int> m_fieldCache;
    QHash<QString, Validator> m_validators;

    QString m_indexName;
    QVector<int> m_orderFields;

    DataSet* m_master = nullptr;
    QStringList m_linkFields;
    QStringList m_masterFields;
    bool m_linkEnabled = true;
    QVector<QVariant> m_loadedLink;
    bool m_linkLoaded = false;
    quint64 m_stamp = 0;

    mutable RowView m_rows;
    Row m_buffer;                 // the row being edited or inserted
    QVector<QVariant> m_edit;     // its values, in stored form
    QVector<QVariant> m_original; // the edited row's values as read, to find another's save
    int m_cur = -1;
    bool m_eof = true;
    bool m_bof = true;
    bool m_filtered = false;

    mutable const Row* m_filterRow = nullptr;
    mutable int m_calcRow = -1;
    mutable QHash<int, QVariant> m_calcValues;
    int m_disabled = 0;
    bool m_initializing = false;
    bool m_resetPending = false;
    bool m_inMasterMove = false;

    void flushTextHolders();
    QList<QPair<const QObject*, std::function<void()>>> m_textHolders;
    bool m_flushing = false;
};
