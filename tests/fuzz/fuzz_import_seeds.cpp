// Writes the seed inputs of fuzz_import into a directory: each valid old
// file, prefixed with the byte that chooses it.
#include "FuzzImportFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_import_seeds DIR\n");
        return 2;
    }
    QTemporaryDir tmp;
    FuzzImportFiles::write(tmp.path());
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    const QStringList names = FuzzImportFiles::names();
    for (int i = 0; i < names.size(); ++i) {
        QFile in(tmp.filePath(names.at(i)));
        QFile out(QDir(QString::fromLocal8Bit(argv[1])).filePath(names.at(i) + ".seed"));
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return 1;
        out.write(QByteArray(1, char(i)) + in.readAll());
    }
    return 0;
}
