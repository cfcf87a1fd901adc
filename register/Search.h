#pragma once

#include "Table.h"

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QVariant>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TDBGridNormal;

// What a search looks for in one field: the typed text converted by the
// field's type.
struct SearchValue {
    enum Kind {
        Contains, // the text anywhere in the value, both folded (FoldedText)
        Equals,   // the whole value, letter case and all
        Number,   // numeric equality: 5 finds 5 and 5.0
        Day,      // the same calendar day
    };
    Kind kind = Contains;
    QByteArray text; // UTF-8; for Day the date as the file stores it
    double number = 0;
};

namespace FieldSearch {

// Converts the typed text by the field's type; `exact` asks for a whole,
// case-sensitive match of a text field. When the text is not of the
// field's type, or the type cannot be searched, returns false with the
// message to show in `message`.
bool convert(const FieldDef& field, const QString& text, bool exact, SearchValue* out,
             QString* message);

bool matches(const Table::StoredValue& value, const SearchValue& wanted);

// The first display row, from `from` on in the table's current order (rows
// the filter hides are not walked), whose field matches; -1 when none does.
// The field's stored values are read in one pass, without keeping the rows.
// The table must not hold a pending edit.
int findRow(Table& table, int field, const SearchValue& wanted, int from);

// Makes current the first row, in the current order, whose field equals
// `value`; false, and the table stays where it was, when none shows.
bool locate(Table& table, const QString& field, const QVariant& value);

} // namespace FieldSearch

// The search dialog: looks for a typed value in the column that holds the
// cell focus of a data grid, from the first row ("&Start") or on from the
// current one ("&Urmator"), and leaves the grid on the row found.
class TSrchForm : public QDialog {
    Q_OBJECT
public:
    // `grid` is the grid searched; the dialog does not own it.
    explicit TSrchForm(TDBGridNormal* grid, QWidget* parent = nullptr);

    QCheckBox* ExactCheckBox = nullptr;
    QLineEdit* EditSrch = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* CancelBtn = nullptr;

    void OKBtnClick();
    void BitBtn1Click();
    // Whether any search of this dialog found a row.
    bool found() const { return m_found; }
    // Searches G's selected column for `text`; true when a row was found.
    // A text that is not of the column's type, or a column that cannot be
    // searched, is told in a message and ends the search with Abort.
    bool SearchColumn(TDBGridNormal* grid, const QString& text, bool fromFirst);

    // How long the found row shows highlighted as a whole.
    static constexpr int HighlightMs = 200;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();

    TDBGridNormal* m_grid;
    bool m_fromFirst = true;
    bool m_found = false;
};

// Creates the search dialog for `grid`, shows it modally and frees it when
// it is closed: nothing is kept between uses. True when a search of the
// dialog found a row (the grid's table is on it).
bool ShowSearch(TDBGridNormal* grid, QWidget* parent);

// The toolbar command's work on the grid of the active tab: a detail grid
// is cut from the register for the search, so that it shows and walks the
// rows of all places, and linked again afterwards; the place that owns the
// grid's current row then becomes the register's current place (unless the
// register's filter hides it).
void SearchPlace(TDBGridNormal* grid, Table& catalog, QWidget* parent);
