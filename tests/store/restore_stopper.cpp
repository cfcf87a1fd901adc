// Runs a restore of the daily copy given and stops at the step given
// (0 kept, 1 copied beside, 2 replaced): prints "ready" there and waits to
// be killed, as a restore does when the machine goes down in the middle.
#include "Database.h"
#include "Restore.h"
#include "StoreError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5)
        return 2;
    const int stopAt = args.at(4).toInt();
    try {
        Database db(args.at(1));
        db.open();
        Restore::run(db, Restore::inspect(args.at(2)), args.at(3), QDateTime::currentDateTime(),
                     [stopAt](Restore::Step step) {
                         if (int(step) != stopAt)
                             return;
                         std::puts("ready");
                         std::fflush(stdout);
                         for (;;)
                             std::this_thread::sleep_for(std::chrono::seconds(1));
                     });
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
