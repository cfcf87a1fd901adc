// A second clerk in a process of its own: opens the register (a file, or a
// server when a connection string is given) and changes or deletes the
// holder of one place, as the main window's rules do.
//   tombrix_clerk_writer FILE CONNINFO LOC NAME   saves NAME as the holder
//   tombrix_clerk_writer FILE CONNINFO LOC -      deletes the place
#include "Database.h"
#include "PlaceRegister.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() != 5)
        return 2;
    try {
        ScriptedPrompts answers;
        answers.queueAnswer(PromptAnswer::Yes); // the deletion's question
        Database db(a.at(1), a.at(2));
        db.open();
        QObject owner;
        PlaceRegister reg(db, &owner);
        reg.open();
        Table& catalog = reg.catalog();
        if (!catalog.locate(QStringLiteral("Loc"), a.at(3)))
            return 3;
        if (a.at(4) == QLatin1String("-")) {
            catalog.remove();
        } else {
            catalog.edit();
            catalog.setValue(QStringLiteral("Nume_Uzufruct"), a.at(4));
            catalog.post();
        }
        return 0;
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
}
