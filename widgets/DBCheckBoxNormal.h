#pragma once

#include <QCheckBox>
#include <QPointer>

class Table;

// A data check box on a logical field of a table's current row. Enter moves
// on to the next control, as in the data edits.
class TDBCheckBoxNormal : public QCheckBox {
    Q_OBJECT
public:
    explicit TDBCheckBoxNormal(QWidget* parent = nullptr);

    void setDataField(Table* table, const QString& field);
    Table* table() const;
    const QString& dataField() const { return m_field; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void load();
    void userToggled(bool checked);

    QPointer<Table> m_table;
    QString m_field;
    bool m_loading = false;
};
