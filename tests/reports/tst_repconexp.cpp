#include "RepConExpUnt.h"
#include "TestSupport.h"

#include <QtTest>

class TestRepConExp : public QObject {
    Q_OBJECT
private slots:
    void expiryDate_data();
    void expiryDate();
};

void TestRepConExp::expiryDate_data() {
    QTest::addColumn<QVariant>("start");
    QTest::addColumn<QVariant>("years");
    QTest::addColumn<QDate>("expiry");
    QTest::newRow("25 years") << QVariant(QDate(2000, 3, 15)) << QVariant(25) << QDate(2025, 3, 14);
    QTest::newRow("29 Feb, 7 years")
        << QVariant(QDate(2000, 2, 29)) << QVariant(7) << QDate(2007, 2, 27);
    QTest::newRow("29 Feb, 8 years")
        << QVariant(QDate(2000, 2, 29)) << QVariant(8) << QDate(2008, 2, 28);
    QTest::newRow("1 March, across a leap day")
        << QVariant(QDate(2003, 3, 1)) << QVariant(1) << QDate(2004, 2, 29);
    QTest::newRow("empty term") << QVariant(QDate(2010, 6, 1)) << QVariant() << QDate(2010, 5, 31);
    QTest::newRow("1 January") << QVariant(QDate(2001, 1, 1)) << QVariant(10)
                               << QDate(2010, 12, 31);
    QTest::newRow("stored as text")
        << QVariant(QStringLiteral("2000-03-15")) << QVariant(25) << QDate(2025, 3, 14);
    QTest::newRow("empty date") << QVariant() << QVariant(25) << QDate();
    // 2100 is a multiple of four yet no leap year: the day cannot be formed.
    QTest::newRow("29 Feb to 2100") << QVariant(QDate(2000, 2, 29)) << QVariant(100) << QDate();
    QTest::newRow("huge term") << QVariant(QDate(2000, 1, 1)) << QVariant(qint64(1) << 40)
                               << QDate();
}

void TestRepConExp::expiryDate() {
    QFETCH(QVariant, start);
    QFETCH(QVariant, years);
    QFETCH(QDate, expiry);
    QCOMPARE(DataExpConcesiune(start, years), expiry);
}

QTEST_MAIN(TestRepConExp)
#include "tst_repconexp.moc"
