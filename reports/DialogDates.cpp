#include "DialogDates.h"

#include "Values.h"

#include <QLineEdit>

namespace DialogDates {

QLineEdit* create(QWidget* parent, const char* objectName) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(objectName));
    const QString sep = QString(Values::dateSeparator());
    e->setInputMask(QStringLiteral("00") + sep + QStringLiteral("00") + sep +
                    QStringLiteral("0000;_"));
    e->setMaxLength(10);
    return e;
}

void show(QLineEdit* edit, const QDate& date) {
    edit->setText(Values::dateToText(date));
}

QDate read(const QLineEdit* edit, const QDate& lastGood) {
    QString t = edit->text();
    t.remove(QLatin1Char('_'));
    const QDate d = Values::textToDate(t);
    return d.isValid() ? d : lastGood;
}

} // namespace DialogDates
