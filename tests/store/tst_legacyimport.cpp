// Import of the old program's table files: each test writes its own old
// files with pxlib's writer and imports them into a fresh register.
#include "Database.h"
#include "LegacyImport.h"
#include "ParadoxReader.h"
#include "ParadoxWriter.h"
#include "StoreError.h"
#include "TestSupport.h"
#include "Values.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <cmath>
#include <functional>
#include <limits>
#include <unistd.h>

namespace {

using Col = ParadoxWriter::Column;

const QString kAccents = QStringLiteral("ăâîşţ ĂÂÎŞŢ");

QString longMemo(int size) {
    QString s;
    const QString words = QStringLiteral("scutit conform hotararii consiliului local ţară şi ");
    while (s.size() < size)
        s += words;
    return s.left(size);
}

// The register's rows of a table as text, ordered, for field-by-field checks.
QStringList rows(Database& db, const QString& sql) {
    return rowsOf(db, sql);
}

int count(Database& db, const QString& table) {
    return int(scalarOf(db, QStringLiteral("SELECT count(*) FROM ") + table));
}

// A small old register: three places, concessions with short and long
// memos, buried persons, receipts and the unit name.
void writeSample(const QString& dir, bool laterFields = true) {
    auto cols = [&](const char* t) {
        return ParadoxWriter::tableColumns(QString::fromLatin1(t), laterFields);
    };
    auto row = [&](const char* t, QVariantMap m) {
        QVariantList out;
        for (const Col& c : cols(t))
            out << m.value(c.name);
        return out;
    };
    {
        ParadoxWriter w(dir + QStringLiteral("/Catalog.DB"), cols("Catalog"));
        w.add(row("Catalog", {{"Id_Loc", 7.0},
                              {"Cimitir", QStringLiteral("Cimitirul Înălţarea")},
                              {"Sector", "12A"},
                              {"Parcela", "3"},
                              {"Rand", "10"},
                              {"Loc", "A"},
                              {"CNP_Uzufruct", "1800101221144"},
                              {"Nume_Uzufruct", QStringLiteral("Ştefănescu Ţuţu ") + kAccents},
                              {"Observatii", QStringLiteral("gard refăcut")}}));
        w.add(row("Catalog", {{"Id_Loc", 12.0}, {"Cimitir", "Nord"}, {"Loc", "5"}}));
        w.add(row("Catalog", {{"Id_Loc", 3.0}, {"Nume_Uzufruct", "POPA ION"}}));
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/Concesionari.DB"), cols("Concesionari"),
                        dir + QStringLiteral("/Concesionari.MB"));
        w.add(row("Concesionari", {{"Id_Loc", 7.0},
                                   {"Nr_concesiune", 70.0},
                                   {"Data_concesiune", QDate(1999, 2, 28)},
                                   {"Act_concesiune", QStringLiteral("HCL 12/1999")},
                                   {"CNP_Uzufruct", "1800101221144"},
                                   {"Nume_Uzufruct", QStringLiteral("Ştefănescu Ţuţu")},
                                   {"Strada", QStringLiteral("Păcii")},
                                   {"Numarul", "4B"},
                                   {"Bloc", "B2"},
                                   {"Scara", "A"},
                                   {"Etaj", 3.0},
                                   {"Apartament", 14.0},
                                   {"Judet", "Prahova"},
                                   {"Seria_buletin", "PH"},
                                   {"Nr_buletin", 123456.0},
                                   {"Eliberat_buletin", QStringLiteral("Poliţia Ploieşti")},
                                   {"Data_Elib_buletin", QDate(1995, 12, 31)},
                                   {"Telefon_fix", "0244123456"},
                                   {"Telefon_mobil", "0722123456"},
                                   {"Scutit_concesiune", true},
                                   {"Nr_doc_scutit", "55"},
                                   {"Data_doc_scutit", QDate(2000, 1, 1)},
                                   {"Explicatie", longMemo(600)},
                                   {"Nr_ani_concesiune", 25},
                                   {"Observatii", QStringLiteral("reînnoită")},
                                   {"Localitatea", QStringLiteral("Ploieşti")}}));
        w.add(row("Concesionari", {{"Id_Loc", 7.0},
                                   {"Nr_concesiune", 71.0},
                                   {"Data_concesiune", QDate(2024, 2, 29)},
                                   {"Scutit_concesiune", false},
                                   {"Explicatie", QStringLiteral("scurt: ăâî")}}));
        w.add(row("Concesionari",
                  {{"Id_Loc", 12.0}, {"Nr_concesiune", 120.0}, {"Explicatie", longMemo(9000)}}));
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/persinmormantate.db"), cols("PersInmormantate"));
        w.add(row("PersInmormantate", {{"Id_Loc", 7.0},
                                       {"Numar", 1.0},
                                       {"Data", QDate(1987, 6, 5)},
                                       {"Numele", QStringLiteral("Ştefănescu Ana")},
                                       {"Grad_rudenie_uzufruct", "mama"},
                                       {"Serie_CD", "DA"},
                                       {"Nr_CD", 998.0},
                                       {"Data_CD", QDate(1987, 6, 4)},
                                       {"Eliberat_CD", QStringLiteral("Primăria")}}));
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/CHITANTE.DB"), cols("Chitante"));
        w.add(row("Chitante", {{"Id_Loc", 7.0},
                               {"Nr_chit", 501.0},
                               {"Data", QDate(2023, 1, 15)},
                               {"Explicatie", "taxa"},
                               {"Suma", 125.5},
                               {"Numele_beneficiarului", QStringLiteral("Ţuţu")},
                               {"Tip_incasare", "Taxa anuala"},
                               {"DStart", QDate(2023, 1, 1)},
                               {"DStop", QDate(2023, 12, 31)}}));
        w.add(row("Chitante", {{"Id_Loc", 3.0}, {"Nr_chit", 502.0}, {"Suma", 0.01}}));
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/Unitatea.DB"), cols("Unitatea"));
        w.add({QStringLiteral("Primăria Câmpina")});
    }
}

// Header fields of an old table file used to rearrange its blocks.
quint16 getLe16(const QByteArray& b, int at) {
    return quint16(quint8(b.at(at)) | quint8(b.at(at + 1)) << 8);
}
void putLe16(QByteArray& b, int at, int v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8 & 0xFF);
}

// A table of numbered rows wide enough to need several data blocks.
void writeNumbered(const QString& path, int rows) {
    ParadoxWriter w(path, {{QStringLiteral("Id_Loc"), ParadoxWriter::Type::Number, 0},
                           {QStringLiteral("Cimitir"), ParadoxWriter::Type::Alpha, 200}});
    for (int i = 1; i <= rows; ++i)
        w.add({double(i), QStringLiteral("rand %1").arg(i)});
}

// Rewrites an old file in place, for damage a writer never makes.
void patch(const QString& path, const std::function<void(QByteArray&)>& change) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray b = f.readAll();
    change(b);
    f.resize(0);
    f.write(b);
}
void putLe32(QByteArray& b, int at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i) & 0xFF);
}
// Where a field of a row of the first block lies in the file.
int rowField(const QString& path, const QString& field, int row = 0) {
    ParadoxReader r(path);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray h = f.read(4);
    return getLe16(h, 2) + 6 + row * getLe16(h, 0) + r.fields().at(r.fieldIndex(field)).offset;
}

QList<int> readIds(const QString& path, QStringList* unreadable = nullptr) {
    ParadoxReader r(path);
    QList<int> ids;
    for (int i = 0; i < r.rowCount(); ++i) {
        if (!r.readRow(i)) {
            if (unreadable)
                *unreadable << QString::number(i + 1);
            continue;
        }
        ids << r.value(0).value.toInt();
    }
    return ids;
}

} // namespace

class TestLegacyImport : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_prog = std::make_unique<TempProgramDir>();
        QVERIFY(m_prog->isValid());
        QVERIFY(m_old.isValid());
        m_db = std::make_unique<Database>(m_prog->file(QStringLiteral("Tombrix.sqlite")));
        m_db->open();
    }
    void cleanup() {
        m_db.reset();
        m_prog.reset();
        QDir(m_old.path()).removeRecursively();
        QDir().mkpath(m_old.path());
    }

    void roundTripFieldForField() {
        writeSample(m_old.path());
        const LegacyImport imp(m_old.path());
        const LegacyImport::Result trial = imp.trial();
        QCOMPARE(trial.problems.join(QLatin1Char('\n')), QString());
        QCOMPARE(trial.tables.size(), 5);
        const QList<int> read = {3, 3, 1, 2, 1};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(trial.tables.at(i).read, read.at(i));
        QCOMPARE(count(*m_db, QStringLiteral("Catalog")), 0); // the trial writes nothing

        const LegacyImport::Result done =
            imp.run(*m_db, m_prog->backupBase(), QDateTime(QDate(2026, 3, 4), QTime(9, 8, 7)));
        QVERIFY(QFile::exists(QDir::fromNativeSeparators(done.backupFile)));
        QVERIFY(done.backupFile.contains(QStringLiteral("20260304-090807-inainte-de-import")));

        QCOMPARE(rows(*m_db, QStringLiteral("SELECT * FROM Catalog ORDER BY Id_Loc")),
                 QStringList({QStringLiteral("3|NULL|NULL|NULL|NULL|NULL|NULL|POPA ION|NULL"),
                              QStringLiteral("7|Cimitirul Înălţarea|12A|3|10|A|1800101221144|"
                                             "Ştefănescu Ţuţu ăâîşţ ĂÂÎŞŢ|gard refăcut"),
                              QStringLiteral("12|Nord|NULL|NULL|NULL|5|NULL|NULL|NULL")}));
        const QStringList con =
            rows(*m_db,
                 QStringLiteral("SELECT Id_Loc, Nr_concesiune, Data_concesiune, Act_concesiune, "
                                "CNP_Uzufruct, Nume_Uzufruct, Strada, Numarul, Bloc, Scara, Etaj, "
                                "Apartament, Judet, Seria_buletin, Nr_buletin, Eliberat_buletin, "
                                "Data_Elib_buletin, Telefon_fix, Telefon_mobil, Scutit_concesiune, "
                                "Nr_doc_scutit, Data_doc_scutit, Nr_ani_concesiune, Observatii, "
                                "Localitatea FROM Concesionari ORDER BY Nr_concesiune"));
        QCOMPARE(con.size(), 3);
        QCOMPARE(
            con.at(0),
            QStringLiteral("7|70|1999-02-28|HCL 12/1999|1800101221144|Ştefănescu Ţuţu|Păcii|4B|"
                           "B2|A|3|14|Prahova|PH|123456|Poliţia Ploieşti|1995-12-31|0244123456|"
                           "0722123456|1|55|2000-01-01|25|reînnoită|Ploieşti"));
        QVERIFY(con.at(1).startsWith(QStringLiteral("7|71|2024-02-29|NULL")));
        QVERIFY(con.at(1).contains(QStringLiteral("|0|NULL|NULL|NULL"))); // logical false, kept
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Explicatie FROM Concesionari ORDER BY "
                                            "Nr_concesiune")),
                 QStringList({longMemo(600), QStringLiteral("scurt: ăâî"), longMemo(9000)}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT * FROM PersInmormantate")),
                 QStringList({QStringLiteral("7|1|1987-06-05|Ştefănescu Ana|mama|DA|998|1987-06-04|"
                                             "Primăria")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT * FROM Chitante ORDER BY Nr_chit")),
                 QStringList({QStringLiteral("7|501|2023-01-15|taxa|125.5|Ţuţu|Taxa anuala|"
                                             "2023-01-01|2023-12-31"),
                              QStringLiteral("3|502|NULL|NULL|0.01|NULL|NULL|NULL|NULL")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT * FROM Unitatea")),
                 QStringList({QStringLiteral("Primăria Câmpina")}));
    }

    // The .MB reader against the bytes each row keeps, over both kinds of
    // block (shared small texts and runs of whole blocks).
    void blobReaderAgreesWithRowLeaders() {
        const QString db = m_old.filePath(QStringLiteral("M.DB"));
        const QString mb = m_old.filePath(QStringLiteral("M.MB"));
        const QList<int> sizes = {1, 240, 241, 300, 1500, 4000, 5000, 20000};
        {
            ParadoxWriter w(db, {{QStringLiteral("Memo"), ParadoxWriter::Type::Memo, 240}}, mb);
            for (int s : sizes)
                w.add({longMemo(s)});
        }
        ParadoxReader r(db);
        const ParadoxBlobFile blobs(mb);
        QVERIFY(blobs.isOpen());
        r.setBlobFile(&blobs);
        QCOMPARE(r.rowCount(), sizes.size());
        for (int i = 0; i < sizes.size(); ++i) {
            QVERIFY(r.readRow(i));
            QByteArray leader;
            quint32 pointer = 0, length = 0;
            r.memoEntry(0, &leader, &pointer, &length);
            QCOMPARE(int(length), ParadoxWriter::toCp1250(longMemo(sizes.at(i))).size());
            if (length > 240) {
                QByteArray whole;
                QString why;
                QVERIFY2(blobs.read(pointer, length, &whole, &why), qPrintable(why));
                QCOMPARE(whole.left(240), leader);
                QCOMPARE(int(whole.size()), int(length));
            }
            const ParadoxReader::Value v = r.value(0);
            QCOMPARE(v.problem, QString());
            QCOMPARE(v.value.toString(), longMemo(sizes.at(i)));
        }
    }

    void damagedBlobKeepsTheRowsPartAndSaysSo() {
        writeSample(m_old.path());
        QFile mb(m_old.filePath(QStringLiteral("Concesionari.MB")));
        QVERIFY(mb.open(QIODevice::ReadWrite));
        mb.resize(4096 + 100); // the long texts' blocks are gone
        mb.close();
        const LegacyImport::Result r =
            LegacyImport(m_old.path())
                .run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
        QCOMPARE(r.problems.size(), 2);
        QVERIFY(r.problems.first().contains(QStringLiteral("Explicatie")));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Explicatie FROM Concesionari WHERE "
                                            "Nr_concesiune = 120")),
                 QStringList({longMemo(240)}));
    }

    void filesWithoutTheLaterFieldsLeaveThemEmpty() {
        writeSample(m_old.path(), false);
        const LegacyImport::Result r =
            LegacyImport(m_old.path())
                .run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
        QCOMPARE(r.problems, QStringList());
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Observatii FROM Catalog WHERE Id_Loc = 7")),
                 QStringList({QStringLiteral("NULL")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Act_concesiune, Nr_ani_concesiune, Observatii, "
                                            "Localitatea, Nume_Uzufruct FROM Concesionari WHERE "
                                            "Nr_concesiune = 70")),
                 QStringList({QStringLiteral("NULL|NULL|NULL|NULL|Ştefănescu Ţuţu")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Serie_CD, Numele FROM PersInmormantate")),
                 QStringList({QStringLiteral("NULL|Ştefănescu Ana")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT DStart, DStop, Data FROM Chitante WHERE "
                                            "Nr_chit = 501")),
                 QStringList({QStringLiteral("NULL|NULL|2023-01-15")}));
    }

    // Problems the trial lists: a detail of no place, an over-long text, a
    // date that is no calendar date, a repeated Id_Loc; nothing is written.
    void trialListsTheRowsThatCannotComeOver() {
        writeSample(m_old.path());
        QList<Col> cat = ParadoxWriter::tableColumns(QStringLiteral("Catalog"));
        cat[7].length = 80; // Nume_Uzufruct wider than the register keeps
        {
            ParadoxWriter w(m_old.filePath(QStringLiteral("Catalog.DB")), cat);
            w.add({1.0, "C", "1", "1", "1", "1", QVariant(), QString(60, QLatin1Char('x'))});
            w.add({2.0});
            w.add({1.0, "dublura"});
        }
        {
            const auto cols = ParadoxWriter::tableColumns(QStringLiteral("PersInmormantate"));
            ParadoxWriter w(m_old.filePath(QStringLiteral("persinmormantate.db")), cols);
            w.add({2.0, 1.0, QVariant::fromValue(qint64(2000000000))});
            w.add({99.0, 1.0, QDate(2001, 1, 1), QStringLiteral("Orfan")});
        }
        QFile::remove(m_old.filePath(QStringLiteral("Concesionari.DB")));
        const LegacyImport imp(m_old.path());
        const LegacyImport::Result r = imp.trial();
        const QString all = r.problems.join(QLatin1Char('\n'));
        QCOMPARE(r.problems.size(), 6);
        QVERIFY(all.contains(QStringLiteral("Catalog.DB, randul 1 (Id_Loc 1): textul din campul "
                                            "Nume_Uzufruct are 60 caractere; s-a taiat la 50")));
        QVERIFY(all.contains(QStringLiteral("Catalog.DB, randul 3 (Id_Loc 1): Id_Loc 1 apare de "
                                            "mai multe ori")));
        QVERIFY(all.contains(QStringLiteral("persinmormantate.db, randul 1 (Id_Loc 2): data din "
                                            "campul Data nu este o data calendaristica")));
        QVERIFY(all.contains(QStringLiteral("persinmormantate.db, randul 2 (Id_Loc 99): Id_Loc 99 "
                                            "nu corespunde niciunui loc")));
        // Both receipts belong to places the new Catalog lacks.
        QVERIFY(all.contains(QStringLiteral("CHITANTE.DB, randul 2 (Id_Loc 3): Id_Loc 3 nu ")));
        QVERIFY(r.tables.at(1).missing);
        QVERIFY(r.report(false).contains(QStringLiteral("Concesionari.DB: fisierul lipseste")));
        QCOMPARE(count(*m_db, QStringLiteral("Catalog")), 0);

        imp.run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Id_Loc, Cimitir, length(Nume_Uzufruct) FROM "
                                            "Catalog ORDER BY Id_Loc")),
                 QStringList({QStringLiteral("1|C|50"), QStringLiteral("2|NULL|NULL")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Id_Loc, Data FROM PersInmormantate")),
                 QStringList({QStringLiteral("2|NULL")}));
        QCOMPARE(count(*m_db, QStringLiteral("Chitante")), 0);
    }

    void damagedFilesAreRefusedAndChangeNothing_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("truncated") << 0;
        QTest::newRow("random bytes") << 1;
        QTest::newRow("empty") << 2;
        QTest::newRow("header cut at 256 bytes") << 3;
    }
    void damagedFilesAreRefusedAndChangeNothing() {
        QFETCH(int, kind);
        m_db->exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Nume_Uzufruct) VALUES (500, 'X')"));
        writeSample(m_old.path());
        QFile f(m_old.filePath(QStringLiteral("CHITANTE.DB")));
        QVERIFY(f.open(QIODevice::ReadWrite));
        if (kind == 0) {
            f.resize(f.size() - 3000);
        } else if (kind == 3) {
            f.resize(256);
        } else {
            QByteArray junk(9000, '\0');
            quint32 x = 12345;
            for (char& c : junk) {
                x = x * 1103515245 + 12345;
                c = char(x >> 16);
            }
            f.resize(0);
            f.write(junk);
        }
        if (kind == 2)
            f.resize(0);
        f.close();
        const LegacyImport imp(m_old.path());
        try {
            imp.trial();
            QFAIL("the trial accepted a damaged file");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("CHITANTE.DB este deteriorat")),
                     qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(
            StoreError, imp.run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime()));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Id_Loc, Nume_Uzufruct FROM Catalog")),
                 QStringList({QStringLiteral("500|X")}));
    }

    void missingCatalogOrDirectoryIsAClearFailure() {
        try {
            LegacyImport(m_old.path()).trial();
            QFAIL("no failure");
        } catch (const StoreError& e) {
            QVERIFY(e.message().startsWith(QStringLiteral("Nu gasesc fisierul Catalog.DB")));
        }
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 LegacyImport(m_old.filePath(QStringLiteral("nu-exista"))).trial());
    }

    void cancelDuringTheWriteChangesNothing() {
        m_db->exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Nume_Uzufruct) VALUES (500, 'X')"));
        writeSample(m_old.path());
        int calls = 0;
        auto cancelLate = [&](LegacyImport::Phase p, qint64 done, qint64) {
            ++calls;
            return !(p == LegacyImport::Phase::Writing && done >= 5);
        };
        QVERIFY_THROWS_EXCEPTION(
            Abort, LegacyImport(m_old.path())
                       .run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime(), cancelLate));
        QVERIFY(calls > 1);
        QCOMPARE(m_db->transactionDepth(), 0);
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Id_Loc FROM Catalog")),
                 QStringList({QStringLiteral("500")}));
        QCOMPARE(count(*m_db, QStringLiteral("Concesionari")), 0);
    }

    // A store failure half-way (here a trigger refusing one receipt) rolls
    // every table back, the already written places and details included.
    void failureHalfWayLeavesTheRegisterAsItWas() {
        m_db->exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Nume_Uzufruct) VALUES (500, 'X')"));
        m_db->exec(QStringLiteral("INSERT INTO Unitatea (Cimitir) VALUES ('Vechi')"));
        m_db->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Chitante WHEN "
                                  "NEW.Nr_chit = 502 BEGIN SELECT RAISE(ABORT, 'disc plin'); END"));
        writeSample(m_old.path());
        try {
            LegacyImport(m_old.path())
                .run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
            QFAIL("no failure");
        } catch (const StoreError& e) {
            QVERIFY(e.message().contains(QStringLiteral("disc plin")));
        }
        QCOMPARE(m_db->transactionDepth(), 0);
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Id_Loc FROM Catalog")),
                 QStringList({QStringLiteral("500")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Cimitir FROM Unitatea")),
                 QStringList({QStringLiteral("Vechi")}));
        QCOMPARE(count(*m_db, QStringLiteral("Concesionari")), 0);
        QCOMPARE(count(*m_db, QStringLiteral("Chitante")), 0);
    }

    void replacingKeepsACopyOfTheOldRegister() {
        m_db->exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Nume_Uzufruct) VALUES (500, 'X')"));
        writeSample(m_old.path());
        QCOMPARE(LegacyImport::placesInRegister(*m_db), 1);
        const LegacyImport::Result r =
            LegacyImport(m_old.path())
                .run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
        QCOMPARE(LegacyImport::placesInRegister(*m_db), 3);
        Database copy(QDir::fromNativeSeparators(r.backupFile));
        copy.open();
        QCOMPARE(rows(copy, QStringLiteral("SELECT Id_Loc, Nume_Uzufruct FROM Catalog")),
                 QStringList({QStringLiteral("500|X")}));
        // The daily backup's own directory for today is not taken by it.
        QVERIFY(!QFileInfo::exists(m_prog->backupRoot() + QStringLiteral("/SalvariQuarvenn/") +
                                   QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    }

    // Every kind of field the old files use, with signs and limits, read back
    // as the writer wrote it.
    void fieldValuesDecodeAsWritten() {
        using T = ParadoxWriter::Type;
        const QString path = m_old.filePath(QStringLiteral("V.DB"));
        const QList<Col> cols = {
            {QStringLiteral("N"), T::Number, 0}, {QStringLiteral("S"), T::Short, 0},
            {QStringLiteral("L"), T::Long, 0},   {QStringLiteral("B"), T::Logical, 0},
            {QStringLiteral("D"), T::Date, 0},   {QStringLiteral("A"), T::Alpha, 6}};
        const QList<QVariantList> rowsIn = {
            {-125.75, -2, -70000, false, QDate(1, 1, 1), QStringLiteral("ŢŞĂÎÂ")},
            {0.0, 0, 0, true, QDate(9999, 12, 31), QStringLiteral("abcdef")},
            {1e15, 32767, 2147483647, QVariant(), QDate(2024, 2, 29), QString()},
            {-0.01, -32767, -2147483647, true, QVariant(), QStringLiteral("x")}};
        {
            ParadoxWriter w(path, cols);
            for (const QVariantList& r : rowsIn)
                w.add(r);
        }
        ParadoxReader r(path);
        QCOMPARE(r.rowCount(), rowsIn.size());
        for (int i = 0; i < rowsIn.size(); ++i) {
            QVERIFY(r.readRow(i));
            for (int f = 0; f < cols.size(); ++f) {
                const ParadoxReader::Value v = r.value(f);
                QCOMPARE(v.problem, QString());
                const QVariant& want = rowsIn.at(i).at(f);
                if (want.isNull() ||
                    (want.typeId() == QMetaType::QString && want.toString().isEmpty()))
                    QVERIFY2(v.value.isNull(), qPrintable(QStringLiteral("%1/%2").arg(i).arg(f)));
                else if (want.typeId() == QMetaType::Double)
                    QCOMPARE(v.value.toDouble(), want.toDouble());
                else
                    QCOMPARE(v.value, want);
            }
        }
        QVERIFY(!r.readRow(rowsIn.size()));
        QVERIFY(!r.readRow(-1));
    }

    // Rows come in the order of the block chain, not of the blocks in the
    // file; a broken link leaves the rows after it unread and listed.
    void rowsFollowTheBlockChain() {
        const QString path = m_old.filePath(QStringLiteral("Catalog.DB"));
        writeNumbered(path, 1);
        QFile probe(path);
        QVERIFY(probe.open(QIODevice::ReadOnly));
        const int per = (quint8(probe.read(6).at(5)) * 1024 - 6) / 208; // rows to a block
        probe.close();
        const int total = 4 * per + 4; // five blocks, the last one partly used
        writeNumbered(path, total);
        QList<int> all;
        for (int i = 1; i <= total; ++i)
            all << i;
        QCOMPARE(readIds(path), all);

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray b = f.readAll();
        const int header = getLe16(b, 2);
        const int block = quint8(b.at(5)) * 1024;
        QCOMPARE(getLe16(b, 0x0C), 5); // blocks in the file
        QCOMPARE(getLe16(b, 0x0E), 1); // first block
        // Swap the first two blocks in the file and relink: 2 -> 1 -> 3.
        const QByteArray first = b.mid(header, block);
        const QByteArray second = b.mid(header + block, block);
        b.replace(header, block, second);
        b.replace(header + block, block, first);
        putLe16(b, 0x0E, 2);
        putLe16(b, header + block, 1);     // old first block, now at 2: next is 1
        putLe16(b, header + block + 2, 0); // and nothing before it
        putLe16(b, header, 3);             // old second block, now at 1: next is 3
        putLe16(b, header + 2, 2);
        putLe16(b, header + 2 * block + 2, 1);
        f.seek(0);
        f.write(b);
        f.close();
        QCOMPARE(readIds(path), all);
        // Random access agrees with the order.
        {
            ParadoxReader r(path);
            for (int row : {total - 1, 0, 2 * per - 1, per, per - 1, 3 * per - 1})
                QVERIFY(r.readRow(row) && r.value(0).value.toInt() == row + 1);
        }

        // The third block in the chain (block 3) points outside the file.
        QVERIFY(f.open(QIODevice::ReadWrite));
        b = f.readAll();
        putLe16(b, header + 2 * block, 77);
        f.seek(0);
        f.write(b);
        f.close();
        QStringList unreadable;
        QCOMPARE(readIds(path, &unreadable), all.mid(0, 3 * per));
        QCOMPARE(unreadable.size(), per + 4);
        const LegacyImport::Result r = LegacyImport(m_old.path()).trial();
        QCOMPARE(r.tables.first().read, 3 * per);
        QCOMPARE(r.skipped, per + 4);
        QVERIFY(r.problems.first().startsWith(
            QStringLiteral("Catalog.DB, randul %1: randul nu poate fi citit").arg(3 * per + 1)));

        // A chain that loops back ends where it loops, and is not read forever.
        QVERIFY(f.open(QIODevice::ReadWrite));
        b = f.readAll();
        putLe16(b, header + 2 * block, 2);
        f.seek(0);
        f.write(b);
        f.close();
        QCOMPARE(readIds(path), all.mid(0, 3 * per));
    }

    // Old files copied from a read-only medium or share can be read.
    void readOnlyFilesImport() {
        if (geteuid() == 0)
            QSKIP("the superuser writes to read-only files");
        writeSample(m_old.path());
        for (const QString& name : QDir(m_old.path()).entryList(QDir::Files))
            QVERIFY(QFile::setPermissions(m_old.filePath(name), QFileDevice::ReadOwner));
        const LegacyImport::Result r =
            LegacyImport(m_old.path())
                .run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
        QCOMPARE(r.problems, QStringList());
        QCOMPARE(LegacyImport::placesInRegister(*m_db), 3);
    }

    // The import writes what the confirmed trial showed: files changed in
    // between are refused before the copy (other size or time) or, when
    // they look the same from outside, before anything is kept.
    void filesChangedSinceTheTrialAreRefused() {
        m_db->exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Nume_Uzufruct) VALUES (500, 'X')"));
        writeSample(m_old.path());
        const LegacyImport imp(m_old.path());
        const LegacyImport::Result trial = imp.trial();
        QVERIFY(trial.report(false).contains(
            QStringLiteral("Unitatea.DB: un rand citit, 1 de importat")));
        QVERIFY(trial.report(false).contains(QStringLiteral("Catalog.DB: 3 randuri citite")));

        const QString catalog = m_old.filePath(QStringLiteral("Catalog.DB"));
        const QDateTime stamp = QFileInfo(catalog).lastModified();
        {
            ParadoxWriter w(catalog, ParadoxWriter::tableColumns(QStringLiteral("Catalog")));
            w.add({7.0});
            w.add({12.0});
        }
        auto refused = [&] {
            try {
                imp.run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime(), {}, &trial);
            } catch (const StoreError& e) {
                return e.message().startsWith(QStringLiteral("Fisierele vechi s-au schimbat"));
            }
            return false;
        };
        QVERIFY(refused());
        QVERIFY(!QDir(m_prog->backupRoot() + QStringLiteral("/SalvariQuarvenn")).exists() ||
                QDir(m_prog->backupRoot() + QStringLiteral("/SalvariQuarvenn"))
                    .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                    .isEmpty());
        // Same size and time as at the trial, other rows: place 3 is gone,
        // so its receipt no longer has a place.
        {
            ParadoxWriter w(catalog, ParadoxWriter::tableColumns(QStringLiteral("Catalog")));
            w.add({7.0});
            w.add({12.0});
            w.add({4.0});
        }
        QFile f(catalog);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(stamp, QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(refused());
        QCOMPARE(m_db->transactionDepth(), 0);
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Id_Loc FROM Catalog")),
                 QStringList({QStringLiteral("500")}));
        QCOMPARE(count(*m_db, QStringLiteral("Chitante")), 0);

        // A fresh trial of the same files is accepted.
        const LegacyImport::Result again = imp.trial();
        imp.run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime().addSecs(5), {}, &again);
        QCOMPARE(LegacyImport::placesInRegister(*m_db), 3);
    }

    // A table protected by a password is named with what to do; without
    // Catalog.DB nothing comes over, without a detail table only when the
    // user confirms leaving it out.
    void protectedTablesAreNamedAndLeftOutOnlyWhenConfirmed() {
        m_db->exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Nume_Uzufruct) VALUES (500, 'X')"));
        writeSample(m_old.path());
        auto protect = [](QByteArray& b) {
            putLe32(b, 0x25, 0xFF00FF00u);
            putLe32(b, 0x5C, 0x5A17C3E1u);
            for (int i = getLe16(b, 2); i < b.size(); ++i)
                b[i] = char(b[i] ^ 0x5A); // the rows enciphered
        };
        patch(m_old.filePath(QStringLiteral("Catalog.DB")), protect);
        const LegacyImport imp(m_old.path());
        LegacyImport::Result trial = imp.trial();
        QVERIFY(trial.catalogRefused());
        QVERIFY2(trial.report(false).contains(QStringLiteral(
                     "Catalog.DB: NU SE IMPORTA: tabelul este protejat cu parola; salvati "
                     "tabelul fara parola din programul vechi")),
                 qPrintable(trial.report(false)));
        QVERIFY_THROWS_EXCEPTION(
            StoreError,
            imp.run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime(), {}, &trial, true));
        QVERIFY_THROWS_EXCEPTION(
            StoreError, imp.run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime()));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Id_Loc FROM Catalog")),
                 QStringList({QStringLiteral("500")}));

        writeSample(m_old.path());
        patch(m_old.filePath(QStringLiteral("CHITANTE.DB")), protect);
        trial = imp.trial();
        QVERIFY(!trial.catalogRefused());
        QCOMPARE(trial.refusedFiles(), QStringList({QStringLiteral("CHITANTE.DB")}));
        QCOMPARE(trial.tables.at(3).read, 0);
        try {
            imp.run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime(), {}, &trial);
            QFAIL("a refused table was left out without asking");
        } catch (const StoreError& e) {
            QVERIFY(e.message().startsWith(QStringLiteral("CHITANTE.DB nu se poate importa")));
        }
        QCOMPARE(LegacyImport::placesInRegister(*m_db), 1);
        imp.run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime(), {}, &trial, true);
        QCOMPARE(LegacyImport::placesInRegister(*m_db), 3);
        QCOMPARE(count(*m_db, QStringLiteral("Concesionari")), 3);
        QCOMPARE(count(*m_db, QStringLiteral("Chitante")), 0);
    }

    // Values the register must not take as they are: a place number or an
    // amount that is no number, a logical byte the format does not use, a
    // memo whose lengths disagree, texts in another code page.
    void oddValuesAreListedAndNeverTakenInSilence() {
        writeSample(m_old.path());
        const double inf = std::numeric_limits<double>::infinity();
        {
            ParadoxWriter w(m_old.filePath(QStringLiteral("Catalog.DB")),
                            ParadoxWriter::tableColumns(QStringLiteral("Catalog")));
            w.add({7.0, QStringLiteral("x")});
            w.add({99.0, QStringLiteral("fara numar")});
            w.add({QVariant(), QStringLiteral("gol")});
            w.add({12.0});
        }
        {
            ParadoxWriter w(m_old.filePath(QStringLiteral("CHITANTE.DB")),
                            ParadoxWriter::tableColumns(QStringLiteral("Chitante")));
            w.add({7.0, 1.0, QDate(2023, 1, 1), "a", inf});
            w.add({7.0, 2.0, QDate(2023, 1, 2), "b", 99.0});
            w.add({7.0, 3.0, QDate(2023, 1, 3), "c", -inf});
            w.add({12.0, 4.0, QDate(2023, 1, 4), "d", 10.5});
        }
        const QString conc = m_old.filePath(QStringLiteral("Concesionari.DB"));
        const QString mb = m_old.filePath(QStringLiteral("Concesionari.MB"));
        {
            auto cols = ParadoxWriter::tableColumns(QStringLiteral("Concesionari"));
            ParadoxWriter w(conc, cols, mb);
            QVariantList r(cols.size());
            r[0] = 7.0;
            r[1] = 1.0;
            r[19] = true;
            r[22] = longMemo(700);
            w.add(r);
        }
        const int logical = rowField(conc, QStringLiteral("Scutit_concesiune"));
        const int memo = rowField(conc, QStringLiteral("Explicatie"));
        patch(conc, [&](QByteArray& b) {
            b[logical] = char(0x85);
            putLe32(b, memo + 240 + 4, 704);
        });
        // Texts written in the DOS Central European page, as an older copy
        // of the old program kept them.
        const QString unit = m_old.filePath(QStringLiteral("Unitatea.DB"));
        {
            ParadoxWriter w(unit, ParadoxWriter::tableColumns(QStringLiteral("Unitatea")));
            w.add({QString::fromLatin1("Pia\xC7\xAD\xEE")}); // "Piaăşţ" in page 852
        }
        patch(unit, [](QByteArray& b) { putLe16(b, 0x6A, 852); });

        // pxlib's writer keeps no NaN (it writes one as a tiny number): the
        // file's own bytes for it are planted.
        const QByteArray nanBytes("\xFF\xF8\0\0\0\0\0\0", 8);
        for (const auto& [file, field] :
             {std::pair{QStringLiteral("Catalog.DB"), QStringLiteral("Id_Loc")},
              std::pair{QStringLiteral("CHITANTE.DB"), QStringLiteral("Suma")}}) {
            const QString path = m_old.filePath(file);
            const int at = rowField(path, field, 1);
            patch(path, [&](QByteArray& b) { b.replace(at, 8, nanBytes); });
        }
        const LegacyImport::Result r = LegacyImport(m_old.path()).trial();
        const QString all = r.problems.join(QLatin1Char('\n'));
        QVERIFY2(all.contains(QStringLiteral("Catalog.DB, randul 2 (Id_Loc -): Id_Loc nu este un "
                                             "numar (NaN); nu se importa")),
                 qPrintable(all));
        QVERIFY(all.contains(QStringLiteral("Catalog.DB, randul 3 (Id_Loc -): fara Id_Loc")));
        QVERIFY(all.contains(QStringLiteral(
            "CHITANTE.DB, randul 1 (Id_Loc 7): valoarea din campul Suma este infinita; campul "
            "ramane gol")));
        QVERIFY(all.contains(QStringLiteral("CHITANTE.DB, randul 2 (Id_Loc 7): valoarea din "
                                            "campul Suma nu este un numar (NaN)")));
        QVERIFY(all.contains(QStringLiteral("CHITANTE.DB, randul 3 (Id_Loc 7): valoarea din "
                                            "campul Suma este infinita")));
        QVERIFY(all.contains(QStringLiteral("Concesionari.DB, randul 1 (Id_Loc 7): valoarea "
                                            "logica din campul Scutit_concesiune are octetul "
                                            "neobisnuit 0x85; s-a citit ca Da")));
        QVERIFY(all.contains(QStringLiteral(
            "Concesionari.DB, randul 1 (Id_Loc 7): lungimea textului din campul Explicatie "
            "difera: randul da textului 704 de caractere, fisierul .MB 700")));
        QVERIFY(all.contains(QStringLiteral("Unitatea.DB: textele sunt scrise in codul de "
                                            "pagina 852")));

        LegacyImport(m_old.path()).run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Id_Loc, Cimitir FROM Catalog ORDER BY 1")),
                 QStringList({QStringLiteral("7|x"), QStringLiteral("12|NULL")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Nr_chit, Suma FROM Chitante ORDER BY 1")),
                 QStringList({QStringLiteral("1|NULL"), QStringLiteral("2|NULL"),
                              QStringLiteral("3|NULL"), QStringLiteral("4|10.5")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Scutit_concesiune, Explicatie FROM "
                                            "Concesionari")),
                 QStringList({QStringLiteral("1|") + longMemo(700)}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Cimitir FROM Unitatea")),
                 QStringList({QStringLiteral("Piaăşţ")}));

        // A page the program does not know is said, and read as 1250.
        patch(unit, [](QByteArray& b) { putLe16(b, 0x6A, 866); });
        QVERIFY(LegacyImport(m_old.path())
                    .trial()
                    .problems.contains(QStringLiteral(
                        "Unitatea.DB: codul de pagina 866 nu este cunoscut; textele se citesc in "
                        "codul 1250 (Europa Centrala) si pot iesi gresit")));
    }

    // A field of another type than the register's is read when its values
    // mean the same (a short integer is a number, a number can be a text);
    // otherwise its table is refused, naming field, table and type.
    void otherFieldTypesAreReadFaithfullyOrTheTableRefused() {
        writeSample(m_old.path());
        using T = ParadoxWriter::Type;
        auto chitante = [&](T type, int length, const QVariant& suma) {
            auto cols = ParadoxWriter::tableColumns(QStringLiteral("Chitante"));
            cols[4] = {QStringLiteral("Suma"), type, length};
            ParadoxWriter w(m_old.filePath(QStringLiteral("CHITANTE.DB")), cols);
            w.add({7.0, 1.0, QDate(2023, 1, 1), "a", suma});
        };
        auto catCols = ParadoxWriter::tableColumns(QStringLiteral("Catalog"));
        catCols[2] = {QStringLiteral("Sector"), T::Number, 0};
        {
            ParadoxWriter w(m_old.filePath(QStringLiteral("Catalog.DB")), catCols);
            w.add({7.0, "C", 12.0});
            w.add({12.0});
            w.add({3.0});
        }
        chitante(T::Short, 0, -125);
        LegacyImport::Result r =
            LegacyImport(m_old.path())
                .run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
        QCOMPARE(r.problems.join(QLatin1Char('\n')), QString());
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Sector FROM Catalog WHERE Id_Loc = 7")),
                 QStringList({QStringLiteral("12")}));
        QCOMPARE(rows(*m_db, QStringLiteral("SELECT Suma FROM Chitante")),
                 QStringList({QStringLiteral("-125")}));

        chitante(T::Alpha, 20, QStringLiteral("125,50"));
        r = LegacyImport(m_old.path()).trial();
        QCOMPARE(r.refusedFiles(), QStringList({QStringLiteral("CHITANTE.DB")}));
        QVERIFY2(r.report(false).contains(QStringLiteral(
                     "CHITANTE.DB: NU SE IMPORTA: campul Suma are tipul Text(20), iar registrul "
                     "il tine ca Numar")),
                 qPrintable(r.report(false)));
    }

    // Files of the older format versions: a shorter table name before the
    // field names (before version 7) and no second header part (before
    // version 4), so no code page either.
    void olderFormatVersionsAreRead_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("5.0") << 10;
        QTest::newRow("3.5") << 4;
    }
    void olderFormatVersionsAreRead() {
        QFETCH(int, version);
        writeSample(m_old.path());
        const int fields = int(ParadoxWriter::tableColumns(QStringLiteral("Unitatea")).size());
        patch(m_old.filePath(QStringLiteral("Unitatea.DB")), [&](QByteArray& b) {
            const int header = getLe16(b, 2);
            const int tableName = 0x78 + fields * 6 + 4;
            QCOMPARE(quint8(b.at(0x39)), quint8(12)); // what the writer writes
            b.remove(tableName + 79, 261 - 79);
            int removed = 261 - 79;
            if (version < 5) {
                b.remove(0x58, 0x20);
                removed += 0x20;
                putLe32(b, 0x25, 0);
            }
            b.insert(header - removed, QByteArray(removed, '\0'));
            b[0x39] = char(version);
        });
        const LegacyImport::Result r = LegacyImport(m_old.path()).trial();
        QCOMPARE(r.problems, QStringList());
        ParadoxReader unit(m_old.filePath(QStringLiteral("Unitatea.DB")));
        QCOMPARE(unit.codePage(), version < 5 ? 0 : 1250);
        QVERIFY(unit.readRow(0));
        QCOMPARE(unit.fields().first().name, QStringLiteral("Cimitir"));
        QCOMPARE(unit.value(0).value.toString(), QStringLiteral("Primăria Câmpina"));
    }

    // The rows the blocks hold are read even where the header counts fewer.
    void rowsBeyondTheHeadersCountAreReadAndSaid() {
        const QString path = m_old.filePath(QStringLiteral("Catalog.DB"));
        writeNumbered(path, 5);
        patch(path, [](QByteArray& b) { putLe32(b, 6, 3); });
        const LegacyImport::Result r = LegacyImport(m_old.path()).trial();
        QCOMPARE(r.tables.first().imported, 5);
        QCOMPARE(r.problems, QStringList({QStringLiteral(
                                 "Catalog.DB: antetul numara 3 randuri, dar blocurile de date "
                                 "contin 5; se citesc toate randurile din blocuri")}));
    }

    // A full disk half-way is told as the rest of the store tells it.
    void fullDiskIsToldInRomanian() {
        writeSample(m_old.path());
        const qint64 pages = scalarOf(*m_db, QStringLiteral("PRAGMA page_count"));
        QVERIFY(pages > 0);
        m_db->exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
        try {
            LegacyImport(m_old.path())
                .run(*m_db, m_prog->backupBase(), QDateTime::currentDateTime());
            QFAIL("no failure");
        } catch (const StoreError& e) {
            QVERIFY2(
                e.message().startsWith(QStringLiteral("Discul pe care se afla baza de date")) &&
                    e.message().contains(QStringLiteral("<database or disk is full")),
                qPrintable(e.message()));
        }
        QCOMPARE(count(*m_db, QStringLiteral("Catalog")), 0);
    }

    // The counts in the import's texts read as Romanian writes them.
    void countsReadAsRomanian() {
        auto places = [](qint64 n) {
            return Values::countText(n, QStringLiteral("un loc"), QStringLiteral("locuri"));
        };
        QCOMPARE(places(1), QStringLiteral("un loc"));
        QCOMPARE(places(0), QStringLiteral("0 locuri"));
        QCOMPARE(places(2), QStringLiteral("2 locuri"));
        QCOMPARE(places(19), QStringLiteral("19 locuri"));
        QCOMPARE(places(20), QStringLiteral("20 de locuri"));
        QCOMPARE(places(100), QStringLiteral("100 de locuri"));
        QCOMPARE(places(101), QStringLiteral("101 locuri"));
        QCOMPARE(places(119), QStringLiteral("119 locuri"));
        QCOMPARE(places(1021), QStringLiteral("1021 de locuri"));
    }

    void codePageTableCoversTheRomanianLetters() {
        const QString all = QStringLiteral("ăâîşţĂÂÎŞŢ€„”«»–—ŁążśźŹŚŻ§©°");
        QCOMPARE(fromCp1250(ParadoxWriter::toCp1250(all).constData(),
                            int(ParadoxWriter::toCp1250(all).size())),
                 all);
    }

private:
    std::unique_ptr<TempProgramDir> m_prog;
    std::unique_ptr<Database> m_db;
    QTemporaryDir m_old;
};

QTEST_GUILESS_MAIN(TestLegacyImport)
#include "tst_legacyimport.moc"
