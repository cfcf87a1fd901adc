#include "RegisterGenerator.h"

#include "Database.h"
#include "StoreError.h"

#include <QDate>
#include <QRandomGenerator>
#include <QStringList>

namespace {

const QStringList kCemeteries = {
    QStringLiteral("Cimitirul Central"), QStringLiteral("Cimitirul Eternitatea"),
    QStringLiteral("Cimitirul Sf. Vineri"), QStringLiteral("Cimitirul Nord")};
const QStringList kLast = {
    QStringLiteral("POPESCU"), QStringLiteral("IONESCU"),    QStringLiteral("POPA"),
    QStringLiteral("RADU"),    QStringLiteral("DUMITRU"),    QStringLiteral("STAN"),
    QStringLiteral("STOICA"),  QStringLiteral("GHEORGHE"),   QStringLiteral("MATEI"),
    QStringLiteral("CIOBANU"), QStringLiteral("CONSTANTIN"), QStringLiteral("MARIN")};
const QStringList kFirst = {
    QStringLiteral("ION"),     QStringLiteral("MARIA"),    QStringLiteral("VASILE"),
    QStringLiteral("ELENA"),   QStringLiteral("GHEORGHE"), QStringLiteral("ANA"),
    QStringLiteral("NICOLAE"), QStringLiteral("IOANA"),    QStringLiteral("MIHAI"),
    QStringLiteral("Andreea"), QStringLiteral("Stefan"),   QStringLiteral("Cristina")};
const QStringList kTypes = {QStringLiteral("Concesiune"),       QStringLiteral("Reconcesiune"),
                            QStringLiteral("Taxa anuala"),      QStringLiteral("Inhumare"),
                            QStringLiteral("Lucrari funerare"), QStringLiteral("Alte taxe")};

QString pick(QRandomGenerator& r, const QStringList& l) {
    return l.at(r.bounded(int(l.size())));
}

// 12, 12A or A, as the registers hold them.
QString placeText(QRandomGenerator& r, int max) {
    const int kind = r.bounded(10);
    if (kind == 0)
        return QString(QChar('A' + r.bounded(6)));
    QString s = QString::number(1 + r.bounded(max));
    if (kind == 1)
        s += QChar('A' + r.bounded(3));
    return s;
}

QString personalCode(QRandomGenerator& r, bool valid) {
    static const int w[12] = {2, 7, 9, 1, 4, 6, 3, 5, 8, 2, 7, 9};
    QString s = QString::number(1 + r.bounded(6));
    int sum = w[0] * s.at(0).digitValue();
    for (int i = 1; i < 12; ++i) {
        const int d = r.bounded(10);
        s += QChar('0' + d);
        sum += w[i] * d;
    }
    int control = sum % 11 == 10 ? 1 : sum % 11;
    if (!valid)
        control = (control + 1 + r.bounded(8)) % 10;
    return s + QChar('0' + control);
}

QString name(QRandomGenerator& r) {
    return pick(r, kLast) + QLatin1Char(' ') + pick(r, kFirst);
}

QString day(QRandomGenerator& r, int fromYear, int toYear) {
    return QDate(fromYear + r.bounded(toYear - fromYear + 1), 1 + r.bounded(12), 1 + r.bounded(28))
        .toString(Qt::ISODate);
}

// One insert statement, its values bound in order, run again for each row.
struct Insert {
    Statement st;
    int next = 1;
    void addBindValue(const QVariant& v) { st.bind(next++, v); }
    void run() {
        st.run();
        st.reset();
        next = 1;
    }
};

} // namespace

void generateRegister(Database& db, int places, quint32 seed) {
    QRandomGenerator r(seed);
    Transaction tx(db);
    Insert cat{db.prepare(QStringLiteral(
        "INSERT INTO Catalog (Id_Loc, Cimitir, Sector, Parcela, Rand, Loc, CNP_Uzufruct, "
        "Nume_Uzufruct, Observatii) VALUES (?,?,?,?,?,?,?,?,?)"))};
    Insert con{db.prepare(
        QStringLiteral("INSERT INTO Concesionari (Id_Loc, Nr_concesiune, Data_concesiune, "
                       "CNP_Uzufruct, Nume_Uzufruct, Strada, Numarul, Judet, Localitatea, "
                       "Nr_ani_concesiune, Scutit_concesiune) VALUES (?,?,?,?,?,?,?,?,?,?,0)"))};
    Insert per{
        db.prepare(QStringLiteral("INSERT INTO PersInmormantate (Id_Loc, Numar, Data, Numele, "
                                  "Grad_rudenie_uzufruct) VALUES (?,?,?,?,?)"))};
    Insert chi{db.prepare(QStringLiteral(
        "INSERT INTO Chitante (Id_Loc, Nr_chit, Data, Explicatie, Suma, "
        "Numele_beneficiarului, Tip_incasare, DStart, DStop) VALUES (?,?,?,?,?,?,?,?,?)"))};
    int receipt = 1;
    for (int id = 1; id <= places; ++id) {
        const bool occupied = r.bounded(100) >= 15;
        const QString holder = occupied ? name(r) : QString();
        const QString code =
            occupied && r.bounded(10) ? personalCode(r, r.bounded(10) != 0) : QString();
        cat.addBindValue(double(id));
        cat.addBindValue(kCemeteries.at(id % kCemeteries.size()));
        cat.addBindValue(placeText(r, 20));
        cat.addBindValue(placeText(r, 40));
        cat.addBindValue(placeText(r, 30));
        cat.addBindValue(placeText(r, 60));
        cat.addBindValue(code.isEmpty() ? QVariant() : QVariant(code));
        cat.addBindValue(holder.isEmpty() ? QVariant() : QVariant(holder));
        cat.addBindValue(r.bounded(8) == 0 ? QVariant(QStringLiteral("gard refacut")) : QVariant());
        cat.run();
        const int concessions = occupied ? r.bounded(4) : 0;
        for (int c = 0; c < concessions; ++c) {
            con.addBindValue(double(id));
            con.addBindValue(double(id * 10 + c));
            con.addBindValue(day(r, 1990, 2025));
            con.addBindValue(personalCode(r, true));
            con.addBindValue(c == concessions - 1 ? holder : name(r));
            con.addBindValue(QStringLiteral("Str. Florilor"));
            con.addBindValue(QString::number(1 + r.bounded(120)));
            con.addBindValue(QStringLiteral("Prahova"));
            con.addBindValue(QStringLiteral("Ploiesti"));
            con.addBindValue(10 + 5 * r.bounded(10));
            con.run();
        }
        const int buried = r.bounded(5);
        for (int b = 0; b < buried; ++b) {
            per.addBindValue(double(id));
            per.addBindValue(double(b + 1));
            per.addBindValue(day(r, 1960, 2025));
            per.addBindValue(name(r));
            per.addBindValue(QStringLiteral("fiu"));
            per.run();
        }
        const int receipts = r.bounded(13);
        for (int k = 0; k < receipts; ++k) {
            const int year = 2000 + r.bounded(26);
            chi.addBindValue(double(id));
            chi.addBindValue(double(receipt++));
            chi.addBindValue(
                QDate(year, 1 + r.bounded(12), 1 + r.bounded(28)).toString(Qt::ISODate));
            chi.addBindValue(QStringLiteral("plata"));
            chi.addBindValue(double(10 + r.bounded(500)));
            chi.addBindValue(name(r));
            chi.addBindValue(pick(r, kTypes));
            chi.addBindValue(QDate(year, 1, 1).toString(Qt::ISODate));
            chi.addBindValue(QDate(year, 12, 31).toString(Qt::ISODate));
            chi.run();
        }
    }
    db.exec(QStringLiteral("INSERT INTO Unitatea (Cimitir) VALUES (?)"), {kCemeteries.first()});
    tx.commit();
    db.noteChangeAll();
}
