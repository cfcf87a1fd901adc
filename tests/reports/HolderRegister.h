#pragma once

// A register filled by the test itself, for the lists built on the places'
// holders: places, their concessions and their receipts, and reading a
// laid-out report back.

#include "Database.h"
#include "PageModel.h"
#include "TestSupport.h"
#include "Values.h"

#include <QProcess>
#include <QtTest>

class HolderRegister {
public:
    HolderRegister() : db(dir.file(QString::fromLatin1(Database::FileName))) { db.open(); }

    // A place; an empty code and name leave it without a holder.
    int addPlace(const QString& cimitir, const QString& cnp, const QString& nume,
                 const QString& loc = QString()) {
        db.exec(
            QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Sector, Parcela, Rand, Loc, "
                           "CNP_Uzufruct, Nume_Uzufruct) VALUES (?, ?, '1', '1', '1', ?, ?, ?)"),
            {++lastId, cimitir, loc.isEmpty() ? QString::number(lastId) : loc, orNull(cnp),
             orNull(nume)});
        return lastId;
    }
    // A concession; `fields` sets further columns by name.
    void addConcession(int place, const QDate& date, const QVariant& years, double nr,
                       const QVariantMap& fields = {}) {
        QStringList names = {QStringLiteral("Id_Loc"), QStringLiteral("Nr_concesiune"),
                             QStringLiteral("Data_concesiune"),
                             QStringLiteral("Nr_ani_concesiune")};
        QVariantList values = {
            place, nr, date.isValid() ? QVariant(Values::dateToStored(date)) : QVariant(), years};
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            names << it.key();
            values << it.value();
        }
        QStringList marks;
        for (qsizetype i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        db.exec(QStringLiteral("INSERT INTO Concesionari (%1) VALUES (%2)")
                    .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                values);
    }
    void addReceipt(int place, const QString& type, const QDate& stop) {
        db.exec(QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Data, Tip_incasare, DStart, "
                               "DStop, Suma) VALUES (?, ?, ?, ?, ?, ?, 100)"),
                {place, ++lastReceipt, Values::dateToStored(stop.addYears(-1)), type,
                 Values::dateToStored(stop.addYears(-1).addDays(1)), Values::dateToStored(stop)});
    }

    static QVariant orNull(const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); }

    TempProgramDir dir;
    Database db;
    int lastId = 0;
    int lastReceipt = 0;
};

// One text drawn on a page, with its box in mm.
struct PlacedText {
    QString text;
    double x, y, w, h;
};

inline QList<PlacedText> placedTexts(const PageModel& m, int page) {
    QList<PlacedText> out;
    for (const PageItem& it : m.page(page)) {
        if (it.kind == PageItem::Text || it.kind == PageItem::PageNumberText)
            out.append({m.itemText(page, it), it.x, it.y, it.w, it.h});
    }
    return out;
}

// The first text of the page equal to `text`; a null box when none.
inline std::optional<PlacedText> findText(const PageModel& m, int page, const QString& text) {
    for (const PlacedText& t : placedTexts(m, page)) {
        if (t.text == text)
            return t;
    }
    return std::nullopt;
}

// The text of a PDF file as pdftotext reads it; empty when it cannot.
inline QString pdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}
