// The real message and input boxes speak Romanian on their buttons.
#include "Prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QtTest>

class TestPrompts : public QObject {
    Q_OBJECT
private slots:
    void buttonsAreRomanian() {
        WidgetPrompts prompts;
        QStringList seen;
        const auto collect = [&seen] {
            QTimer::singleShot(0, [&seen] {
                QWidget* dialog = QApplication::activeModalWidget();
                QVERIFY(dialog);
                for (const QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
                    if (b->isVisible())
                        seen << b->text();
                static_cast<QDialog*>(dialog)->reject();
            });
        };
        QString name = QStringLiteral("Eternitatea");
        collect();
        QVERIFY(!prompts.inputText(QStringLiteral("Dialog"), QStringLiteral("Nume:"), &name));
        seen.sort();
        QCOMPARE(seen, (QStringList{QStringLiteral("&Renunta"), QStringLiteral("OK")}));
        QCOMPARE(name, QStringLiteral("Eternitatea"));

        seen.clear();
        collect();
        QCOMPARE(prompts.message(QStringLiteral("T"), QStringLiteral("Stergeti?"),
                                 PromptIcon::Question, PromptButtons::OkCancel,
                                 PromptAnswer::Cancel),
                 PromptAnswer::Cancel);
        seen.sort();
        QCOMPARE(seen, (QStringList{QStringLiteral("&Renunta"), QStringLiteral("OK")}));
    }
};

QTEST_MAIN(TestPrompts)
#include "tst_prompts.moc"
