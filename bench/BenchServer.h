#pragma once

#include <QString>

// The server's benchmarks (bench_server.cpp), run by tombrix_bench.
int benchServer(int places, const QString& conninfo);
// One clerk process of the load run: prints "stored refused slowest-ms".
int clerkRun(const QString& conninfo, quint32 seed, int seconds);
// `clerks` processes saving edits to shared places for `seconds`; checks
// that no save was lost and no id doubled.
int loadRun(const QString& conninfo, int clerks, int seconds);
