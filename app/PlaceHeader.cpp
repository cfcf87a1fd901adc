#include "PlaceHeader.h"

#include "Table.h"

#include <QHBoxLayout>
#include <QLabel>

PlaceHeader::PlaceHeader(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setFixedHeight(28);
    auto* lay = new QHBoxLayout(this);
    lay->setContentsMargins(6, 2, 6, 2);
    lay->setSpacing(4);
    const QList<QPair<QString, QString>> items = {
        {QStringLiteral("Cimitir :"), QStringLiteral("Cimitir")},
        {QStringLiteral("Sector :"), QStringLiteral("Sector")},
        {QStringLiteral("Rand :"), QStringLiteral("Rand")},
        {QStringLiteral("Loc :"), QStringLiteral("Loc")},
        {QStringLiteral("Uzufruct :"), QStringLiteral("Nume_Uzufruct")},
    };
    for (const auto& [caption, field] : items) {
        lay->addWidget(new QLabel(caption, this));
        auto* value = new QLabel(this);
        value->setObjectName(QStringLiteral("Header_") + field);
        QFont f = value->font();
        f.setBold(true);
        value->setFont(f);
        value->setMinimumWidth(40);
        lay->addWidget(value);
        lay->addSpacing(12);
        m_values.append({field, value});
    }
    lay->addStretch(1);
}

void PlaceHeader::setSource(Table* catalog) {
    m_catalog = catalog;
    if (catalog)
        connect(catalog, &Table::scrolled, this, &PlaceHeader::refresh);
    refresh();
}

QString PlaceHeader::shown(const QString& field) const {
    for (const auto& [f, label] : m_values)
        if (f == field)
            return label->text();
    return {};
}

void PlaceHeader::refresh() {
    const bool on = m_catalog && m_catalog->isActive() && m_catalog->currentRow() >= 0;
    for (const auto& [field, label] : m_values)
        label->setText(on ? m_catalog->asString(field) : QString());
}
