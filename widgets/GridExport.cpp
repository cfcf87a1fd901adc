#include "GridExport.h"

#include "DBGNorm.h"
#include "DBGridModel.h"
#include "Prompts.h"
#include "SheetFile.h"
#include "StoreError.h"
#include "Table.h"
#include "Values.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QProgressDialog>

namespace {

GridExport::FileChooser g_chooser;

QString askFile(QWidget* parent, const QString& suggested) {
    if (g_chooser)
        return g_chooser(parent, suggested);
    return QFileDialog::getSaveFileName(
        parent, QStringLiteral("Exporta tabelul curent"), suggested,
        QStringLiteral("Foaie de calcul Excel (*.xlsx);;Text separat prin ; (*.csv)"));
}

} // namespace

namespace GridExport {

void setFileChooser(FileChooser chooser) {
    g_chooser = std::move(chooser);
}

int write(TDBGridNormal& grid, const QString& path, const std::function<bool(int, int)>& progress) {
    Table* table = grid.table();
    const DBGridModel* model = grid.gridModel();
    if (!table || !model || !table->isActive())
        throw StoreError(QStringLiteral("Tabelul nu este deschis"));
    // The columns in the order the clerk sees them.
    QList<int> columns;
    const QHeaderView* header = grid.horizontalHeader();
    for (int v = 0; v < header->count(); ++v) {
        const int c = header->logicalIndex(v);
        if (!grid.isColumnHidden(c))
            columns << c;
    }
    SheetFile sheet(path, QFileInfo(table->tableName()).completeBaseName());
    for (int c : std::as_const(columns))
        sheet.text(model->titleOf(c), true);
    sheet.freezeAbove();
    sheet.endRow();
    table->readAllValues();
    const int rows = table->rowCount();
    for (int r = 0; r < rows; ++r) {
        if (progress && r % 500 == 0 && !progress(r, rows))
            throw Abort();
        for (int c : std::as_const(columns)) {
            const int f = model->fieldOf(c);
            const QVariant v = f >= 0 ? table->valueAt(r, f) : QVariant();
            if (v.isNull() || !v.isValid()) {
                sheet.blank();
                continue;
            }
            switch (table->fields().at(f).type) {
            case FieldType::Number:
            case FieldType::LongInt:
                sheet.number(v.toDouble(), -1);
                break;
            case FieldType::Date:
                sheet.date(v.toDate());
                break;
            default:
                sheet.text(DBGridModel::fieldText(*table, r, f));
            }
        }
        sheet.endRow();
    }
    sheet.close();
    return rows;
}

void run(TDBGridNormal* grid, QWidget* parent) {
    Table* table = grid ? grid->table() : nullptr;
    if (!table || !table->isActive())
        return;
    table->checkBrowseMode(); // the row being typed goes with the others
    const QString suggested = QDir::home().filePath(
        QFileInfo(table->tableName()).completeBaseName() + QStringLiteral(".xlsx"));
    const QString path = askFile(parent, suggested);
    if (path.isEmpty())
        return;
    int rows = 0;
    {
        WaitCursor wait;
        QProgressDialog dlg(QStringLiteral("Export in curs..."), QStringLiteral("Renunta"), 0,
                            std::max(1, table->rowCount()), parent);
        dlg.setObjectName(QStringLiteral("ExportProgress"));
        dlg.setWindowTitle(QApplication::applicationName());
        dlg.setWindowModality(Qt::WindowModal);
        dlg.setMinimumDuration(500);
        rows = write(*grid, path, [&dlg](int done, int) {
            dlg.setValue(done);
            return !dlg.wasCanceled();
        });
    }
    Prompts::information(
        QStringLiteral("Am scris %1 in fisierul %2")
            .arg(Values::countText(rows, QStringLiteral("un rand"), QStringLiteral("randuri")),
                 QDir::toNativeSeparators(path)));
}

} // namespace GridExport
