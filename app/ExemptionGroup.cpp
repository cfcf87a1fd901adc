#include "ExemptionGroup.h"

#include "DBCheckBoxNormal.h"
#include "DBEditNormal.h"
#include "DBMemo.h"
#include "dbdate.h"

#include <QGridLayout>
#include <QLabel>

ExemptionGroup::ExemptionGroup(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Bevel1"));
    setFrameStyle(QFrame::Box | QFrame::Raised);
    auto* lay = new QGridLayout(this);
    lay->setContentsMargins(6, 4, 6, 4);
    const auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    DBCheckBoxNormal1 = new TDBCheckBoxNormal(this);
    named(DBCheckBoxNormal1, "DBCheckBoxNormal1");
    // Alt+D: the tab's grid stands between it and the Tab keys.
    DBCheckBoxNormal1->setText(QStringLiteral("Scutit &de la plata concesiunii"));
    Label17 = new QLabel(QStringLiteral("Conform documentului numarul :"), this);
    named(Label17, "Label17");
    DBEditNormal1 = new TDBEditNormal(this);
    named(DBEditNormal1, "DBEditNormal1");
    Label18 = new QLabel(QStringLiteral("din data :"), this);
    named(Label18, "Label18");
    DBDateEdit1 = new TDBDateEdit(this);
    named(DBDateEdit1, "DBDateEdit1");
    DBDateEdit1->setMinimumWidth(110);
    Label19 = new QLabel(QStringLiteral("Explicatie:"), this);
    named(Label19, "Label19");
    DBMemo1 = new TDBMemo(this);
    named(DBMemo1, "DBMemo1");
    DBMemo1->setFixedHeight(54);
    Label17->setBuddy(DBEditNormal1);
    Label18->setBuddy(DBDateEdit1);
    Label19->setBuddy(DBMemo1);

    lay->addWidget(DBCheckBoxNormal1, 0, 0);
    lay->addWidget(Label17, 0, 1);
    lay->addWidget(DBEditNormal1, 0, 2);
    lay->addWidget(Label18, 0, 3);
    lay->addWidget(DBDateEdit1, 0, 4);
    lay->addWidget(Label19, 1, 0, Qt::AlignTop);
    lay->addWidget(DBMemo1, 1, 1, 1, 4);
    lay->setColumnStretch(2, 1);
    showDocument(false);
}

void ExemptionGroup::setTable(Table* concesionari) {
    DBCheckBoxNormal1->setDataField(concesionari, QStringLiteral("Scutit_concesiune"));
    DBEditNormal1->setDataField(concesionari, QStringLiteral("Nr_doc_scutit"));
    DBDateEdit1->setDataField(concesionari, QStringLiteral("Data_doc_scutit"));
    DBMemo1->setDataField(concesionari, QStringLiteral("Explicatie"));
}

void ExemptionGroup::showDocument(bool visible) {
    for (QWidget* w : {static_cast<QWidget*>(Label17), static_cast<QWidget*>(DBEditNormal1),
                       static_cast<QWidget*>(Label18), static_cast<QWidget*>(DBDateEdit1),
                       static_cast<QWidget*>(Label19), static_cast<QWidget*>(DBMemo1)})
        w->setVisible(visible);
}
