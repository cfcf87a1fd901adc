#pragma once

#include <QFrame>

class QLabel;
class Table;
class TDBCheckBoxNormal;
class TDBDateEdit;
class TDBEditNormal;
class TDBMemo;

// The bevelled frame under the concession grid: whether the holder is
// exempt from paying for the concession and on what document.
class ExemptionGroup : public QFrame {
    Q_OBJECT
public:
    explicit ExemptionGroup(QWidget* parent = nullptr);
    void setTable(Table* concesionari);
    // Shows or hides the six document controls, in their order.
    void showDocument(bool visible);

    TDBCheckBoxNormal* DBCheckBoxNormal1 = nullptr;
    QLabel* Label17 = nullptr;
    TDBEditNormal* DBEditNormal1 = nullptr;
    QLabel* Label18 = nullptr;
    TDBDateEdit* DBDateEdit1 = nullptr;
    QLabel* Label19 = nullptr;
    TDBMemo* DBMemo1 = nullptr;
};
