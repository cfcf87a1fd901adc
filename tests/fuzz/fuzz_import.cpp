// libFuzzer target for the old table files: the table reader, the memo
// reader and the import's trial, over a directory of valid files in which
// one file is replaced by the fuzzed bytes. The first byte chooses the file
// (the five tables' .DB files and Concesionari.MB); the rest is its content.
// Reading must end, never crash, and list or refuse what it cannot read.
#include "LegacyImport.h"
#include "ParadoxReader.h"
#include "StoreError.h"

#include "FuzzImportFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {

struct Fixture {
    QTemporaryDir dir;
    QMap<QString, QByteArray> valid; // file name -> its bytes
};

Fixture& fixture() {
    static Fixture* f = [] {
        auto* fx = new Fixture;
        FuzzImportFiles::write(fx->dir.path());
        for (const QString& name : QDir(fx->dir.path()).entryList(QDir::Files)) {
            QFile file(fx->dir.filePath(name));
            file.open(QIODevice::ReadOnly);
            fx->valid.insert(name, file.readAll());
        }
        return fx;
    }();
    return *f;
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort(); // the fixture itself failed
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    Fixture& fx = fixture();
    const QStringList names = FuzzImportFiles::names();
    const QString name = names.at(data[0] % names.size());
    const QString path = fx.dir.filePath(name);
    put(path, QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));

    if (name.endsWith(QLatin1String(".DB"))) {
        try {
            ParadoxReader reader(path);
            const ParadoxBlobFile blobs(fx.dir.filePath(QStringLiteral("Concesionari.MB")));
            reader.setBlobFile(&blobs);
            for (int row = 0; row < reader.rowCount() && !reader.isProtected(); ++row) {
                if (!reader.readRow(row))
                    continue;
                for (int f = 0; f < reader.fields().size(); ++f)
                    reader.value(f);
            }
            for (const ParadoxReader::Field& f : reader.fields())
                f.typeName();
        } catch (const StoreError&) {
        }
    }
    try {
        const LegacyImport::Result r = LegacyImport(fx.dir.path()).trial();
        r.report(false);
    } catch (const StoreError&) {
    }
    put(path, fx.valid.value(name));
    return 0;
}
