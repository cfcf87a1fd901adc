// Opens a register, begins a write transaction, runs the SQL given as the
// second argument, prints "ready" and waits to be killed: the register is
// left with a hot journal, as after a run that died in the middle of a write.
#include <chrono>
#include <cstdio>
#include <sqlite3.h>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    // A tiny page cache makes SQLite write changed pages into the register
    // before the commit, so the file itself holds uncommitted data.
    for (const char* sql :
         {"PRAGMA cache_size = 10", "BEGIN IMMEDIATE", static_cast<const char*>(argv[2])})
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
            return 1;
        }
    std::puts("ready");
    std::fflush(stdout);
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}
