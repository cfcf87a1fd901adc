#include "DBGridModel.h"

#include "Guard.h"
#include "Table.h"
#include "Values.h"

DBGridModel::DBGridModel(Table* table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {
    connect(table, &Table::aboutToReset, this, [this] { beginResetModel(); });
    connect(table, &Table::resetDone, this, [this] { endResetModel(); });
    connect(table, &Table::aboutToInsertRow, this, [this](int r) { beginInsertRows({}, r, r); });
    connect(table, &Table::rowInserted, this, [this](int) { endInsertRows(); });
    connect(table, &Table::aboutToRemoveRow, this, [this](int r) { beginRemoveRows({}, r, r); });
    connect(table, &Table::rowRemoved, this, [this](int) { endRemoveRows(); });
    connect(table, &Table::rowChanged, this, [this](int r) {
        if (r >= 0 && r < rowCount() && columnCount() > 0) {
            emit dataChanged(index(r, 0), index(r, columnCount() - 1));
            emit headerDataChanged(Qt::Vertical, r, r);
        }
    });
    connect(table, &Table::stateChanged, this, [this] { onCurrentChanged(m_table->currentRow()); });
    connect(table, &Table::currentChanged, this, &DBGridModel::onCurrentChanged);
}

void DBGridModel::onCurrentChanged(int row) {
    const int old = m_indicatorRow;
    m_indicatorRow = row;
    const int n = rowCount();
    if (old >= 0 && old < n)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < n)
        emit headerDataChanged(Qt::Vertical, row, row);
}

void DBGridModel::setColumns(const QList<GridColumn>& columns) {
    beginResetModel();
    m_columns = columns;
    m_looks.clear();
    for (const GridColumn& c : columns)
        m_looks.append(ColumnLook::of(c));
    endResetModel();
}

void DBGridModel::setColumnWidth(int column, int width) {
    if (column >= 0 && column < m_columns.size())
        m_columns[column].width = width;
}

QString DBGridModel::fieldText(const Table& table, int row, int field) {
    if (field < 0 || field >= table.fields().size())
        return {};
    const QVariant v = table.valueAt(row, field);
    if (v.isNull())
        return QString();
    switch (table.fields().at(field).type) {
    case FieldType::Date:
        return Values::dateToText(v.toDate());
    case FieldType::Number:
        return Values::numberToText(v.toDouble());
    case FieldType::Logical:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return v.toString();
    }
}

int DBGridModel::fieldOf(int column) const {
    if (!m_table || column < 0 || column >= m_columns.size())
        return -1;
    return m_table->fieldIndex(m_columns.at(column).fieldName);
}

QString DBGridModel::titleOf(int column) const {
    if (column < 0 || column >= m_columns.size())
        return {};
    const GridColumn& c = m_columns.at(column);
    return c.title.isEmpty() ? c.fieldName : c.title;
}

int DBGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_table || !m_table->isActive())
        return 0;
    return m_table->rowCount();
}

int DBGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DBGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_table || !m_table->isActive())
        return {};
    const int f = fieldOf(index.column());
    if (f < 0)
        return {};
    const FieldType type = m_table->fields().at(f).type;
    const ColumnLook& look = m_looks.at(index.column());
    switch (role) {
    case Qt::TextAlignmentRole:
        if (look.alignment)
            return QVariant::fromValue(*look.alignment);
        if (type == FieldType::Number || type == FieldType::LongInt)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return look.color.isValid() ? QVariant(look.color) : QVariant();
    case Qt::ForegroundRole:
        return look.fontColor.isValid() ? QVariant(look.fontColor) : QVariant();
    case Qt::FontRole:
        return look.font ? QVariant(*look.font) : QVariant();
    case Qt::DisplayRole:
    case Qt::EditRole:
        return fieldText(*m_table, index.row(), f);
    default:
        return {};
    }
}

QVariant DBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        const ColumnLook& look = m_looks.at(section);
        switch (role) {
        case Qt::DisplayRole:
            return titleOf(section);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(
                look.titleAlignment.value_or(Qt::AlignLeft | Qt::AlignVCenter));
        case Qt::ForegroundRole:
            if (look.titleFontColor.isValid())
                return look.titleFontColor;
            return m_titleColor.isValid() ? QVariant(m_titleColor) : QVariant();
        case Qt::BackgroundRole:
            return look.titleColor.isValid() ? QVariant(look.titleColor) : QVariant();
        case Qt::FontRole:
            return look.titleFont ? QVariant(*look.titleFont) : QVariant();
        default:
            return {};
        }
    }
    if (role != Qt::DisplayRole || !m_table || section != m_table->currentRow())
        return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    // The row indicator: current row, row in edit, new row.
    switch (m_table->state()) {
    case TableState::Edit:
        return QStringLiteral("I");
    case TableState::Insert:
        return QStringLiteral("*");
    default:
        return QStringLiteral("\u25B6");
    }
}

Qt::ItemFlags DBGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int f = fieldOf(index.column());
    if (f >= 0 && !m_table->fields().at(f).calculated && !m_looks.at(index.column()).readOnly)
        fl |= Qt::ItemIsEditable;
    return fl;
}

bool DBGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !m_table || !m_table->isActive())
        return false;
    const int f = fieldOf(index.column());
    if (f < 0 || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString field = m_table->fields().at(f).name;
    const QString text = value.toString();
    // Unchanged text leaves the row untouched (a new row stays droppable).
    if (data(index, Qt::EditRole).toString() == text)
        return true;
    return guarded([&] {
        if (index.row() != m_table->currentRow())
            m_table->moveTo(index.row());
        m_table->edit();
        m_table->setAsString(field, text);
    });
}
