#include "Datedlg.h"

#include "DateEdit.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TSelDateDlg::TSelDateDlg(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("SelDateDlg"));
    setWindowTitle(QStringLiteral("Selectie"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_edit = new TDateEdit(this);
    m_edit->setObjectName(QStringLiteral("DateEdit"));
    m_edit->setMaxLength(10);
    auto* label = new QLabel(QStringLiteral("&Specificati data:"), this);
    label->setBuddy(m_edit);
    auto* cancel = new QPushButton(QStringLiteral("&Inchide"), this);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* ok = new QPushButton(QStringLiteral("&Deschide"), this);
    ok->setObjectName(QStringLiteral("OkBtn"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_edit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(row);
    lay->addLayout(buttons);
    lay->setSizeConstraint(QLayout::SetFixedSize);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(sizeHint().width(), sizeHint().height()) / 2);
    m_edit->setFocus();
}

void TSelDateDlg::setDate(const QDate& date) {
    m_edit->setValue(date);
}

QDate TSelDateDlg::date() const {
    return m_edit->value();
}

bool AskDate(QWidget* owner, QDate& date) {
    TSelDateDlg dlg(owner);
    dlg.setDate(date);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    date = dlg.date();
    return true;
}
