#include "LegacyImport.h"

#include "Backup.h"
#include "Database.h"
#include "ParadoxReader.h"
#include "Schema.h"
#include "ServerBackup.h"
#include "StoreError.h"
#include "StoreFailure.h"
#include "Values.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cmath>
#include <memory>
#include <optional>

namespace {

const char* const kTables[5] = {"Catalog", "Concesionari", "PersInmormantate", "Chitante",
                                "Unitatea"};

// Whether a field of the old file can fill a field of the register with
// the values it holds: a number of any width is a number, and can be
// written as text.
bool compatible(FieldType target, ParadoxReader::Kind source) {
    using K = ParadoxReader::Kind;
    switch (target) {
    case FieldType::Number:
    case FieldType::LongInt:
        return source == K::Number || source == K::Integer;
    case FieldType::Text:
        return source == K::Text || source == K::Memo || source == K::Number ||
               source == K::Integer;
    case FieldType::Memo:
        return source == K::Text || source == K::Memo;
    case FieldType::Date:
        return source == K::Date;
    case FieldType::Logical:
        return source == K::Logical;
    }
    return false;
}

QString idText(const QVariant& id) {
    return id.isNull() ? QStringLiteral("-") : Values::numberToText(id.toDouble());
}

QString typeText(const FieldDef& f) {
    switch (f.type) {
    case FieldType::Number:
        return QStringLiteral("Numar");
    case FieldType::Text:
        return QStringLiteral("Text(%1)").arg(f.size);
    case FieldType::Date:
        return QStringLiteral("Data");
    case FieldType::Logical:
        return QStringLiteral("Logic");
    case FieldType::LongInt:
        return QStringLiteral("Intreg lung");
    case FieldType::Memo:
        return QStringLiteral("Memo");
    }
    return {};
}

QString notANumber(double d) {
    return std::isnan(d) ? QStringLiteral("nu este un numar (NaN)")
                         : QStringLiteral("este infinita");
}

const QString kProtected = QStringLiteral(
    "tabelul este protejat cu parola; salvati tabelul fara parola din programul vechi "
    "si reluati importul");

// Why a table cannot be read at all, empty when it can.
QString refusal(const ParadoxReader& reader, const TableDef& def) {
    if (reader.isProtected())
        return kProtected;
    QStringList wrong;
    for (const FieldDef& f : def.fields) {
        const int i = reader.fieldIndex(f.name);
        if (i >= 0 && !compatible(f.type, reader.fields().at(i).kind))
            wrong << QStringLiteral("campul %1 are tipul %2, iar registrul il tine ca %3")
                         .arg(reader.fields().at(i).name, reader.fields().at(i).typeName(),
                              typeText(f));
    }
    return wrong.join(QStringLiteral("; "));
}

} // namespace

LegacyImport::LegacyImport(const QString& directory) : m_dir(directory) {}

QString LegacyImport::findFile(const QString& name) const {
    const QDir dir(m_dir);
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

int LegacyImport::placesInRegister(Database& db) {
    const QVariant n = db.scalar(QStringLiteral("SELECT count(*) FROM Catalog"));
    if (n.isNull())
        throw StoreError(QStringLiteral("Nu pot citi registrul"));
    return n.toInt();
}

LegacyImport::Result LegacyImport::trial(const Progress& progress) const {
    return pass(nullptr, progress, nullptr, false);
}

QString LegacyImport::sources() const {
    QStringList out;
    QStringList names;
    for (const char* t : kTables)
        names << QString::fromLatin1(t) + QStringLiteral(".DB");
    names << QStringLiteral("Concesionari.MB");
    for (const QString& name : names) {
        const QString path = findFile(name);
        if (path.isEmpty())
            continue;
        const QFileInfo fi(path);
        out << QStringLiteral("%1 %2 %3")
                   .arg(fi.fileName())
                   .arg(fi.size())
                   .arg(fi.lastModified().toMSecsSinceEpoch());
    }
    return out.join(QLatin1Char('\n'));
}

namespace {
StoreError changedSinceTrial() {
    return StoreError(QStringLiteral("Fisierele vechi s-au schimbat dupa proba; registrul a "
                                     "ramas neschimbat. Reluati importul."));
}

StoreError leftOut(const QStringList& files) {
    return StoreError(QStringLiteral("%1 nu se poate importa (vedeti proba importului); "
                                     "registrul a ramas neschimbat.")
                          .arg(files.join(QStringLiteral(", "))));
}

StoreError catalogRefused(const LegacyImport::TableCount& c) {
    return StoreError(QStringLiteral("%1 nu se poate importa: %2. Fara el nu se importa nimic; "
                                     "registrul a ramas neschimbat.")
                          .arg(c.file, c.refused));
}
} // namespace

LegacyImport::Result LegacyImport::run(Database& db, const QString& backupBase,
                                       const QDateTime& now, const Progress& progress,
                                       const Result* trial, bool withoutRefused) const {
    if (!QFileInfo(m_dir).isDir())
        throw StoreError(
            QStringLiteral("Directorul %1 nu exista").arg(QDir::toNativeSeparators(m_dir)));
    // Checked before the copy is taken: a refused import leaves no stray copy.
    if (trial && sources() != trial->sources)
        throw changedSinceTrial();
    if (trial && trial->catalogRefused())
        throw catalogRefused(trial->tables.first());
    if (trial && !withoutRefused && !trial->refusedFiles().isEmpty())
        throw leftOut(trial->refusedFiles());
    const QString copy = db.server().isEmpty() ? Backup::runBeforeImport(db.path(), backupBase, now)
                                               : ServerBackup::runBeforeImport(db, backupBase, now);
    Result r = pass(&db, progress, trial, withoutRefused);
    r.backupFile = copy;
    return r;
}

LegacyImport::Result LegacyImport::pass(Database* db, const Progress& progress,
                                        const Result* expected, bool withoutRefused) const {
    if (!QFileInfo(m_dir).isDir())
        throw StoreError(
            QStringLiteral("Directorul %1 nu exista").arg(QDir::toNativeSeparators(m_dir)));
    Result result;
    result.sources = sources();
    std::unique_ptr<ParadoxReader> readers[5];
    std::unique_ptr<ParadoxBlobFile> blobs;
    qint64 total = 0;
    for (int t = 0; t < 5; ++t) {
        const QString name = QString::fromLatin1(kTables[t]) + QStringLiteral(".DB");
        const QString path = findFile(name);
        TableCount count;
        count.file = path.isEmpty() ? name : QFileInfo(path).fileName();
        count.missing = path.isEmpty();
        if (path.isEmpty()) {
            if (t == 0)
                throw StoreError(QStringLiteral("Nu gasesc fisierul Catalog.DB in directorul %1")
                                     .arg(QDir::toNativeSeparators(m_dir)));
        } else {
            readers[t] = std::make_unique<ParadoxReader>(path);
            count.refused = refusal(*readers[t], *Schema::find(QString::fromLatin1(kTables[t])));
            if (count.refused.isEmpty())
                total += readers[t]->rowCount();
            else
                readers[t].reset();
        }
        result.tables.append(count);
    }
    if (db && result.catalogRefused())
        throw catalogRefused(result.tables.first());
    if (db && !withoutRefused && !result.refusedFiles().isEmpty())
        throw leftOut(result.refusedFiles());
    if (readers[1]) {
        const QString mb = findFile(QStringLiteral("Concesionari.MB"));
        if (!mb.isEmpty()) {
            blobs = std::make_unique<ParadoxBlobFile>(mb);
            readers[1]->setBlobFile(blobs.get());
        }
    }

    std::unique_ptr<Transaction> tx;
    if (db) {
        tx = std::make_unique<Transaction>(*db);
        for (int t = 4; t >= 0; --t)
            db->exec(QStringLiteral("DELETE FROM \"%1\"").arg(QString::fromLatin1(kTables[t])));
    }

    const Phase phase = db ? Phase::Writing : Phase::Reading;
    qint64 done = 0;
    QSet<double> places;
    for (int t = 0; t < 5; ++t) {
        ParadoxReader* reader = readers[t].get();
        if (!reader)
            continue;
        TableCount& count = result.tables[t];
        const TableDef* def = Schema::find(QString::fromLatin1(kTables[t]));
        QList<int> source;
        for (const FieldDef& f : def->fields)
            source.append(reader->fieldIndex(f.name));
        for (const QString& note : reader->notes())
            result.problems << count.file + QStringLiteral(": ") + note;
        std::optional<Statement> insert;
        if (db) {
            QStringList cols, marks;
            for (const FieldDef& f : def->fields) {
                cols << QLatin1Char('"') + f.name + QLatin1Char('"');
                marks << QStringLiteral("?");
            }
            insert.emplace(db->prepare(
                QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                    .arg(def->name, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))));
        }
        const int idField = def->fields.first().name == QLatin1String("Id_Loc") ? 0 : -1;
        QVector<QVariant> values(def->fields.size());
        QStringList rowProblems;
        for (int row = 0; row < reader->rowCount(); ++row, ++done) {
            if (progress && row % 256 == 0 && !progress(phase, done, total))
                throw Abort();
            // Built only for a row that is listed: most rows never are.
            auto where = [&] {
                return QStringLiteral("%1, randul %2").arg(count.file).arg(row + 1);
            };
            if (!reader->readRow(row)) {
                result.problems << where() +
                                       QStringLiteral(": randul nu poate fi citit; nu se importa");
                ++result.skipped;
                continue;
            }
            ++count.read;
            rowProblems.clear();
            QString idProblem;
            for (int f = 0; f < values.size(); ++f) {
                values[f] = QVariant();
                if (source.at(f) < 0)
                    continue; // a field the older files lack stays empty
                const FieldDef& fd = def->fields.at(f);
                ParadoxReader::Value v = reader->value(source.at(f));
                if (!v.problem.isEmpty())
                    rowProblems << v.problem;
                if (v.value.isNull())
                    continue;
                if (v.value.typeId() == QMetaType::Double && !std::isfinite(v.value.toDouble())) {
                    // SQLite would keep NaN as empty and infinity as such:
                    // every total over the field would be wrong.
                    if (f == idField)
                        idProblem = notANumber(v.value.toDouble());
                    else
                        rowProblems << QStringLiteral("valoarea din campul %1 %2; campul ramane "
                                                      "gol")
                                           .arg(fd.name, notANumber(v.value.toDouble()));
                    continue;
                }
                switch (fd.type) {
                case FieldType::Number:
                    values[f] = v.value.toDouble();
                    break;
                case FieldType::LongInt: {
                    const double d = v.value.toDouble();
                    if (d != std::floor(d) || std::fabs(d) > 2147483647.0)
                        rowProblems << QStringLiteral("valoarea %1 din campul %2 nu este un numar "
                                                      "intreg; campul ramane gol")
                                           .arg(Values::numberToText(d), fd.name);
                    else
                        values[f] = int(d);
                    break;
                }
                case FieldType::Text: {
                    QString s = v.value.typeId() == QMetaType::QString
                                    ? v.value.toString()
                                    : Values::numberToText(v.value.toDouble());
                    if (s.size() > fd.size) {
                        rowProblems << QStringLiteral("textul din campul %1 are %2 caractere; "
                                                      "s-a taiat la %3")
                                           .arg(fd.name)
                                           .arg(s.size())
                                           .arg(fd.size);
                        s.truncate(fd.size);
                    }
                    values[f] = s;
                    break;
                }
                case FieldType::Memo:
                    values[f] = v.value.toString();
                    break;
                case FieldType::Date:
                    values[f] = Values::dateToStored(v.value.toDate());
                    break;
                case FieldType::Logical:
                    values[f] = v.value.toBool() ? 1 : 0;
                    break;
                }
            }
            QString skip;
            if (idField == 0) {
                const QVariant id = values.at(0);
                if (!idProblem.isEmpty())
                    skip = QStringLiteral("Id_Loc ") + idProblem;
                else if (id.isNull())
                    skip = QStringLiteral("fara Id_Loc");
                else if (t == 0 && places.contains(id.toDouble()))
                    skip = QStringLiteral("Id_Loc %1 apare de mai multe ori; se pastreaza "
                                          "primul rand cu acest numar")
                               .arg(idText(id));
                else if (t != 0 && !places.contains(id.toDouble()))
                    skip = QStringLiteral("Id_Loc %1 nu corespunde niciunui loc din Catalog")
                               .arg(idText(id));
            } else if (count.imported > 0) {
                skip = QStringLiteral("tabelul are un singur rand; randurile urmatoare se ignora");
            }
            auto label = [&] {
                return idField == 0
                           ? where() + QStringLiteral(" (Id_Loc %1)").arg(idText(values.at(0)))
                           : where();
            };
            if (!skip.isEmpty()) {
                result.problems << label() + QStringLiteral(": ") + skip +
                                       QStringLiteral("; nu se importa");
                ++result.skipped;
                continue;
            }
            for (const QString& p : rowProblems)
                result.problems << label() + QStringLiteral(": ") + p;
            if (t == 0)
                places.insert(values.at(0).toDouble());
            ++count.imported;
            if (!insert)
                continue;
            insert->reset();
            for (int f = 0; f < values.size(); ++f)
                insert->bind(f + 1, values.at(f));
            insert->run();
        }
    }
    if (progress && !progress(phase, total, total))
        throw Abort();
    if (expected) {
        bool same = result.problems == expected->problems && result.skipped == expected->skipped &&
                    result.tables.size() == expected->tables.size();
        for (int t = 0; same && t < result.tables.size(); ++t)
            same = result.tables.at(t).read == expected->tables.at(t).read &&
                   result.tables.at(t).refused == expected->tables.at(t).refused &&
                   result.tables.at(t).imported == expected->tables.at(t).imported &&
                   result.tables.at(t).missing == expected->tables.at(t).missing;
        if (!same)
            throw changedSinceTrial(); // the transaction is rolled back
    }
    if (tx) {
        tx->commit();
        db->noteChangeAll();
    }
    return result;
}

QString LegacyImport::Result::report(bool written) const {
    QStringList out;
    out << (written ? QStringLiteral("Import incheiat.")
                    : QStringLiteral("Proba importului (nu s-a scris nimic in registru)."));
    out << QString();
    for (const TableCount& c : tables) {
        if (c.missing)
            out << QStringLiteral("%1: fisierul lipseste; nu se importa nimic din el").arg(c.file);
        else if (!c.refused.isEmpty())
            out << QStringLiteral("%1: NU SE IMPORTA: %2").arg(c.file, c.refused);
        else
            out << QStringLiteral("%1: %2, %3 de importat")
                       .arg(c.file, Values::countText(c.read, QStringLiteral("un rand citit"),
                                                      QStringLiteral("randuri citite")))
                       .arg(c.imported);
    }
    if (catalogRefused()) {
        out << QString();
        out << QStringLiteral("Fara %1 nu se poate importa nimic.").arg(tables.first().file);
    } else if (!refusedFiles().isEmpty() && !written) {
        out << QString();
        out << QStringLiteral("Celelalte tabele se pot importa fara %1 numai daca "
                              "confirmati; in registru acestea raman goale.")
                   .arg(refusedFiles().join(QStringLiteral(", ")));
    }
    out << QString();
    if (problems.isEmpty()) {
        out << QStringLiteral("Nicio problema gasita.");
    } else {
        out << QStringLiteral("Probleme (%1; randuri care nu se importa: %2):")
                   .arg(problems.size())
                   .arg(skipped);
        out << problems;
    }
    if (!backupFile.isEmpty()) {
        out << QString();
        out << QStringLiteral("Copia registrului dinainte de import: %1").arg(backupFile);
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QStringList LegacyImport::Result::refusedFiles() const {
    QStringList out;
    for (const TableCount& c : tables)
        if (!c.refused.isEmpty())
            out << c.file;
    return out;
}
