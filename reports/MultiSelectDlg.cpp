#include "MultiSelectDlg.h"

#include "Query.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

void colourText(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

} // namespace

MultiSelectDlg::MultiSelectDlg(QWidget* owner, Database& db, const Texts& texts)
    : QDialog(owner), m_db(db), m_sql(texts.sql) {
    setObjectName(QLatin1String(texts.objectName));
    setWindowTitle(texts.caption);
    // Only a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    setPalette(pal);

    m_all = new QCheckBox(texts.allText, this);
    m_all->setObjectName(QStringLiteral("CBAll"));
    m_all->setChecked(true);
    colourText(m_all, Qt::white);
    connect(m_all, &QCheckBox::clicked, this, &MultiSelectDlg::CBAllClick);

    auto* hint = new QLabel(
        QStringLiteral("Pentru selectie multipla folositi mouse-ul si tasta Ctrl"), this);
    hint->setAlignment(Qt::AlignCenter);
    colourText(hint, Qt::white);

    m_list = new QListWidget(this);
    m_list->setObjectName(QLatin1String(texts.listName));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setPalette(QGuiApplication::palette());

    m_cancel = new QPushButton(QStringLiteral("&Inchide"), this);
    m_cancel->setObjectName(QStringLiteral("CancelBtn"));
    m_cancel->setToolTip(QStringLiteral("Renunt"));
    m_cancel->setAutoDefault(false);
    colourText(m_cancel, Qt::red);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_ok = new QPushButton(QStringLiteral("&Deschide"), this);
    m_ok->setObjectName(QStringLiteral("OkBtn"));
    m_ok->setToolTip(QStringLiteral("Sunt de acord"));
    m_ok->setDefault(true);
    colourText(m_ok, QColor(0, 128, 0));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cancel);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(m_all);
    lay->addWidget(hint);
    lay->addWidget(m_list, 1);
    lay->addLayout(buttons);
    resize(300, 330);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

QStringList MultiSelectDlg::distinctValues() {
    Query q(m_db);
    q.setSql(m_sql);
    q.open();
    QStringList out;
    // A blank (null) value is the empty item.
    for (q.first(); !q.eof(); q.next())
        out << q.value(q.fieldNames().value(0)).toString();
    q.close();
    return out;
}

void MultiSelectDlg::load() {
    m_list->clear();
    m_list->addItems(distinctValues());
    m_all->setChecked(true);
    CBAllClick();
}

void MultiSelectDlg::CBAllClick() {
    m_list->setEnabled(!m_all->isChecked());
}

QStringList MultiSelectDlg::chosen() {
    if (m_all->isChecked())
        return distinctValues();
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->isSelected())
            out << m_list->item(i)->text();
    return out;
}

bool MultiSelectDlg::ask(QStringList& values) {
    m_all->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    values += chosen();
    return true;
}
