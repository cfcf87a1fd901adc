// The column layout file: its byte format, reading it back, and loading
// damaged, hostile and stale files into real grids.
#include "DBGridModel.h"
#include "Streeming.h"
#include "WidgetFixture.h"

#include <QHeaderView>
#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray shortStr(const QByteArray& s) {
    return char(s.size()) + s;
}

// A register column for Cimitir titled "Cimitirul", 203 wide, as stored.
QByteArray cimitirColumn() {
    QByteArray b;
    b += '\x01';
    b += shortStr("Expanded") + '\x08';
    b += shortStr("FieldName") + '\x06' + shortStr("Cimitir");
    b += shortStr("Title.Caption") + '\x06' + shortStr("Cimitirul");
    b += shortStr("Width") + QByteArray("\x03\xCB\x00", 3);
    b += shortStr("Visible") + '\x09';
    b += '\x00';
    return b;
}

QByteArray recordOf(const QList<GridColumn>& columns, int ordinal) {
    TObjectWrapper w;
    w.WrappedPersistent = columns;
    w.CurrentClassName = QString::number(ordinal);
    return w.write();
}

// A layout of its own for each grid: the columns reversed, all 77 wide.
QList<GridColumn> changed(QList<GridColumn> columns) {
    std::reverse(columns.begin(), columns.end());
    for (GridColumn& c : columns)
        c.width = 77;
    return columns;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestStreeming : public QObject {
    Q_OBJECT
private slots:
    void writesTheRegisterColumnByteForByte() {
        const QByteArray rec = recordOf(
            {GridColumn::make(QStringLiteral("Cimitir"), QStringLiteral("Cimitirul"), 203)}, 0);
        QByteArray expected("TPF0", 4);
        expected += shortStr("TObjectWrapper") + '\x00';
        expected += shortStr("WrappedPersistent") + '\x0E' + cimitirColumn() + '\x00';
        expected += shortStr("CurrentClassName") + '\x06' + shortStr("0");
        expected += QByteArray(2, '\0');
        QCOMPARE(rec.toHex(' '), expected.toHex(' '));
    }

    void writesOnlyWhatDiffersFromTheDefaults() {
        GridColumn c = GridColumn::make(QStringLiteral("Loc"), QStringLiteral("Loc"));
        c.visible = false;
        const QByteArray rec = recordOf({c}, 3);
        QVERIFY(!rec.contains("Title.Caption")); // the same as the field's name
        QVERIFY(!rec.contains("Width"));
        QVERIFY(rec.contains(shortStr("Visible") + '\x08'));
        QVERIFY(rec.endsWith(shortStr("CurrentClassName") + '\x06' + shortStr("3") +
                             QByteArray(2, '\0')));
        // Integers take the smallest form; strings past 255 bytes a 4-byte length.
        c = GridColumn::make(QStringLiteral("Loc"), QString(300, QLatin1Char('x')), 100);
        const QByteArray big = recordOf({c}, 0);
        QVERIFY(big.contains(shortStr("Width") + "\x02\x64"));
        QVERIFY(big.contains(shortStr("Title.Caption") + QByteArray("\x0C\x2C\x01\x00\x00", 5)));
        c.width = 70000;
        QVERIFY(
            recordOf({c}, 0).contains(shortStr("Width") + QByteArray("\x04\x70\x11\x01\x00", 5)));
    }

    void readsBackWhatWasWritten() {
        GridColumn tip = GridColumn::make(QStringLiteral("Tip_incasare"),
                                          QStringLiteral("Tipul incasarii "), 139);
        tip.pickList = {QStringLiteral("Concesiune"), QStringLiteral("Taxa anuala")};
        GridColumn hidden = GridColumn::make(QStringLiteral("Suma"));
        hidden.visible = false;
        // Romanian letters go through the code page; the comma-below ones
        // come back as their cedilla twins.
        GridColumn ro =
            GridColumn::make(QStringLiteral("Explicatie"), QString::fromUtf8("Explicație ăîâ"));
        GridColumn longTitle =
            GridColumn::make(QStringLiteral("Data"), QString(400, QLatin1Char('D')), 59);
        const QList<GridColumn> cols = {tip, hidden, ro, longTitle};
        const QByteArray file = recordOf(cols, 0) + recordOf({}, 1);

        LayoutReader reader(file);
        TObjectWrapper rec;
        QCOMPARE(reader.next(&rec), LayoutReader::Outcome::Loaded);
        QVERIFY(rec.hasWrappedPersistent);
        QCOMPARE(rec.CurrentClassName, QStringLiteral("0"));
        QCOMPARE(rec.WrappedPersistent.size(), 4);
        QCOMPARE(rec.WrappedPersistent.at(0), tip);
        QCOMPARE(rec.WrappedPersistent.at(1), hidden);
        QCOMPARE(rec.WrappedPersistent.at(2).title, QString::fromUtf8("Explicaţie ăîâ"));
        QCOMPARE(rec.WrappedPersistent.at(3), longTitle);
        QCOMPARE(reader.next(&rec), LayoutReader::Outcome::Loaded);
        QCOMPARE(rec.WrappedPersistent.size(), 0);
        QCOMPARE(reader.next(&rec), LayoutReader::Outcome::Failed); // nothing more
    }

    void keepsAndShowsPropertiesTheProgramNeverSets() {
        // A column as another writer may have left it: its properties in
        // mixed order, with names in another case.
        QByteArray col;
        col += '\x01';
        col += shortStr("visible") + '\x09';
        col += shortStr("Font.Style") + '\x0B' + shortStr("fsBold") + '\x00';
        col += shortStr("Alignment") + '\x07' + shortStr("taRightJustify");
        col += shortStr("Color") + '\x07' + shortStr("clRed");
        col += shortStr("FieldName") + '\x06' + shortStr("Suma");
        col += shortStr("ReadOnly") + '\x09';
        col += shortStr("Title.Font.Color") + QByteArray("\x04\x00\x00\x80\x00", 5); // dark blue
        col += shortStr("PopupMenu") + '\x0D';
        col += '\x00';
        QByteArray rec("TPF0", 4);
        rec += shortStr("TObjectWrapper") + '\x00' + shortStr("WrappedPersistent") + '\x0E' + col +
               '\x00';
        rec += shortStr("CurrentClassName") + '\x06' + shortStr("0") + QByteArray(2, '\0');

        LayoutReader reader(rec);
        TObjectWrapper w;
        QCOMPARE(reader.next(&w), LayoutReader::Outcome::Loaded);
        const GridColumn c = w.WrappedPersistent.value(0);
        QCOMPARE(c.fieldName, QStringLiteral("Suma"));
        const ColumnLook look = ColumnLook::of(c);
        QCOMPARE(look.alignment.value_or(Qt::AlignLeft), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(look.color, QColor(Qt::red));
        QVERIFY(look.readOnly);
        QVERIFY(look.font && look.font->bold());
        QCOMPARE(look.titleFontColor, QColor(0, 0, 0x80));
        // Written back in the column's own property order, values unchanged.
        const QByteArray again = recordOf({c}, 0);
        const QList<QByteArray> order = {"Alignment",  "Color",     "Expanded", "FieldName",
                                         "Font.Style", "PopupMenu", "ReadOnly", "Title.Font.Color",
                                         "Visible"};
        qsizetype at = -1;
        for (const QByteArray& name : order) {
            const qsizetype next = again.indexOf(shortStr(name));
            QVERIFY2(next > at, name.constData());
            at = next;
        }
        QVERIFY(again.contains(shortStr("Color") + '\x07' + shortStr("clRed")));
        QVERIFY(
            again.contains(shortStr("Title.Font.Color") + QByteArray("\x04\x00\x00\x80\x00", 5)));
    }

    void refusesWhatIsNotARecord() {
        const QByteArray good = recordOf({GridColumn::make(QStringLiteral("Loc"))}, 0);
        const auto outcome = [](const QByteArray& bytes) {
            LayoutReader r(bytes);
            TObjectWrapper w;
            return r.next(&w);
        };
        QCOMPARE(outcome(good), LayoutReader::Outcome::Loaded);
        QByteArray bad = good;
        bad[0] = 'X'; // signature
        QCOMPARE(outcome(bad), LayoutReader::Outcome::Failed);
        bad = good;
        bad.replace("FieldName", "FieldNume"); // unknown property
        QCOMPARE(outcome(bad), LayoutReader::Outcome::Failed);
        bad = good;
        bad.replace(shortStr("Visible") + '\x09',
                    shortStr("Visible") + '\x06'); // a bool as a string
        QCOMPARE(outcome(bad), LayoutReader::Outcome::Failed);
        // Every cut of a record breaks it off.
        for (qsizetype n = 0; n < good.size(); ++n)
            QCOMPARE(outcome(good.left(n)), LayoutReader::Outcome::Failed);
        // A string claiming 4 GB, a column collection past the limit, and
        // lists nested without end fail quickly and allocate nothing big.
        QByteArray huge = good;
        huge.replace(shortStr("FieldName") + '\x06' + shortStr("Loc"),
                     shortStr("FieldName") + QByteArray("\x0C\xFF\xFF\xFF\xFF", 5));
        QCOMPARE(outcome(huge), LayoutReader::Outcome::Failed);
        QByteArray many("TPF0", 4);
        many += shortStr("X") + '\x00' + shortStr("WrappedPersistent") + '\x0E';
        for (int i = 0; i <= LayoutReader::MaxColumns; ++i)
            many += QByteArray("\x01\x00", 2);
        many += QByteArray(3, '\0');
        QCOMPARE(outcome(many), LayoutReader::Outcome::Failed);
        QByteArray deep = good.left(good.size() - 1); // a child object instead of the end
        deep += shortStr("TX") + shortStr("") + shortStr("P") + QByteArray(100000, '\x01');
        LayoutReader r(deep);
        TObjectWrapper w;
        QCOMPARE(r.next(&w), LayoutReader::Outcome::UnknownObject);
        QCOMPARE(r.next(&w), LayoutReader::Outcome::Failed);
    }

    void loadsEachGridFromItsRecordAndIgnoresTheStaleTail() {
        GridSet set;
        ScriptedPrompts prompts;
        const QString path = set.dir.file(QString::fromLatin1(TCustomFileStraam::FileName));
        QByteArray file;
        for (int i = 0; i < 4; ++i)
            file += recordOf(changed(set.builtIn[i]), i);
        writeFile(path, file + QByteArray("stale tail of a longer layout"));
        {
            TCustomFileStraam stream(path);
            QVERIFY(stream.load(set.grids));
        }
        for (int i = 0; i < 4; ++i) {
            GridSet expect;
            expect.grids[i]->setColumns(changed(expect.builtIn[i]));
            QCOMPARE(GridSet::describe(set.grids[i]), GridSet::describe(expect.grids[i]));
        }
        QCOMPARE(set.grids[3]->columns().at(1).pickList.size(), 3); // the pick list came back
        QVERIFY(prompts.shown().isEmpty());
    }

    void damagedThirdRecordRestoresTheFirstTwoGridsOnly() {
        GridSet set;
        ScriptedPrompts prompts;
        const QString path = set.dir.file(QString::fromLatin1(TCustomFileStraam::FileName));
        QByteArray third = recordOf(changed(set.builtIn[2]), 2);
        third.replace("Numele", "Numele\x01"); // breaks off inside its first column
        writeFile(path, recordOf(changed(set.builtIn[0]), 0) +
                            recordOf(changed(set.builtIn[1]), 1) + third +
                            recordOf(changed(set.builtIn[3]), 3));
        TCustomFileStraam stream(path);
        QVERIFY(!stream.load(set.grids));
        for (int i = 0; i < 4; ++i) {
            GridSet expect;
            if (i < 2)
                expect.grids[i]->setColumns(changed(expect.builtIn[i]));
            QCOMPARE(GridSet::describe(set.grids[i]), GridSet::describe(expect.grids[i]));
        }
        QVERIFY(prompts.shown().isEmpty());
    }

    void emptyTruncatedAndRandomFilesLoadWithoutEffect() {
        GridSet set;
        ScriptedPrompts prompts;
        QList<QStringList> before;
        for (const TDBGridNormal* g : set.grids)
            before << GridSet::describe(g);
        const QString path = set.dir.file(QString::fromLatin1(TCustomFileStraam::FileName));
        const QByteArray first = recordOf(changed(set.builtIn[0]), 0);
        QByteArray noise(8192, '\0');
        QRandomGenerator rng(20240611);
        for (char& ch : noise)
            ch = char(rng.bounded(256));
        for (const QByteArray& content :
             {QByteArray(), first.left(first.size() / 2), first.left(first.size() - 1), noise}) {
            writeFile(path, content);
            TCustomFileStraam stream(path);
            QVERIFY(!stream.load(set.grids));
            for (int i = 0; i < 4; ++i)
                QCOMPARE(GridSet::describe(set.grids[i]), before[i]);
        }
        QVERIFY(prompts.shown().isEmpty());
        // The missing file is created, empty.
        QFile::remove(path);
        {
            TCustomFileStraam stream(path);
            QVERIFY(!stream.load(set.grids));
        }
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void childObjectOfUnknownKindIsReportedAndTheNextGridRead() {
        GridSet set;
        ScriptedPrompts prompts;
        const QString path = set.dir.file(QString::fromLatin1(TCustomFileStraam::FileName));
        QByteArray second = recordOf(changed(set.builtIn[1]), 1);
        second.chop(1); // the end of children becomes a child, then the end
        second += shortStr("TButton") + shortStr("Button1") + shortStr("Caption") + '\x06' +
                  shortStr("OK") + QByteArray(3, '\0');
        writeFile(path, recordOf(changed(set.builtIn[0]), 0) + second +
                            recordOf(changed(set.builtIn[2]), 2) +
                            recordOf(changed(set.builtIn[3]), 3));
        TCustomFileStraam stream(path);
        QVERIFY(!stream.load(set.grids));
        QCOMPARE(prompts.texts(), QStringList{QStringLiteral("init settings failed")});
        QCOMPARE(prompts.shown().at(0).buttons, PromptButtons::Ok);
        for (int i = 0; i < 4; ++i) {
            GridSet expect;
            expect.grids[i]->setColumns(changed(expect.builtIn[i]));
            QCOMPARE(GridSet::describe(set.grids[i]), GridSet::describe(expect.grids[i]));
        }
    }

    void columnsOfFieldsTheTableLacksAreDropped() {
        GridSet set;
        QList<GridColumn> cols = set.builtIn[0];
        cols.insert(1, GridColumn::make(QStringLiteral("NuExista"), QStringLiteral("X"), 90));
        cols.append(GridColumn::make({})); // a column bound to no field
        QVERIFY(set.grids[0]->applyLayout(cols));
        QCOMPARE(GridSet::describe(set.grids[0]),
                 (QStringList{QStringLiteral("Cimitir:203"), QStringLiteral("Sector:50"),
                              QStringLiteral("Loc:-1")}));
        // Nothing usable: the grid keeps what it had.
        QVERIFY(!set.grids[1]->applyLayout({GridColumn::make(QStringLiteral("NuExista"))}));
        QVERIFY(!set.grids[1]->applyLayout({}));
        QCOMPARE(GridSet::describe(set.grids[1]), GridSet::describe(GridSet().grids[1]));
    }

    void savesTheUsersOrderAndWidthsFromTheStart() {
        GridSet set;
        const QString path = set.dir.file(QString::fromLatin1(TCustomFileStraam::FileName));
        writeFile(path, QByteArray(50000, 'z')); // a longer file from before
        QHeaderView* h = set.grids[0]->horizontalHeader();
        h->resizeSection(2, 150); // Loc had the default width
        h->moveSection(0, 2);     // Cimitir dragged to the end
        {
            TCustomFileStraam stream(path);
            QVERIFY(stream.save(set.grids));
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.size(), 50000); // not shortened
        QVERIFY(bytes.contains(cimitirColumn()));
        GridSet other;
        TCustomFileStraam stream(path);
        QVERIFY(stream.load(other.grids));
        QCOMPARE(GridSet::describe(other.grids[0]),
                 (QStringList{QStringLiteral("Sector:50"), QStringLiteral("Loc:150"),
                              QStringLiteral("Cimitir:203")}));
        for (int i = 1; i < 4; ++i)
            QCOMPARE(other.grids[i]->columns(), set.grids[i]->columns());
    }
};

QTEST_MAIN(TestStreeming)
#include "tst_streeming.moc"
