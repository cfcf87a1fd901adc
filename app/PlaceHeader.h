#pragma once

#include <QFrame>

class QLabel;
class Table;

// The strip above a detail grid: the current place's cemetery, sector, row,
// place and holder, read from the register.
class PlaceHeader : public QFrame {
    Q_OBJECT
public:
    explicit PlaceHeader(QWidget* parent = nullptr);
    // Shows the current row of `catalog` and follows it; nullptr leaves the
    // strip empty (the hidden spare tabs).
    void setSource(Table* catalog);
    QString shown(const QString& field) const;

private:
    void refresh();

    Table* m_catalog = nullptr;
    QList<QPair<QString, QLabel*>> m_values;
};
