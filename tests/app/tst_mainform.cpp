// The main window built on a temporary program directory.
#include "MainUnt.h"
#include "TestSupport.h"

#include <QtTest>

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void startsInAnEmptyDirectory() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        QVERIFY(QFile::exists(dir.file(QStringLiteral("Tombrix.sqlite"))));
        QVERIFY(prompts.shown().isEmpty());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
