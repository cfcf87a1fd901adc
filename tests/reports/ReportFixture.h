#pragma once

// What the report tests share: a register in a temporary program directory
// filled by the test itself, a printer with any unprintable border, answers
// for modal dialogs, and the text of a PDF.

#include "Database.h"
#include "PageModel.h"
#include "PrintSettings.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QtTest>
#include <functional>

struct PlaceRow {
    QVariant cimitir, sector, parcela, rand, loc, cnp, nume;
};

// A fresh register in a temporary program directory.
class TestRegister {
public:
    TestRegister() : db(dir.file(QString::fromLatin1(Database::FileName))) { db.open(); }
    void addPlace(const PlaceRow& p) {
        db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Sector, Parcela, Rand, Loc, "
                               "CNP_Uzufruct, Nume_Uzufruct) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                {++lastId, p.cimitir, p.sector, p.parcela, p.rand, p.loc, p.cnp, p.nume});
    }
    // An unoccupied place.
    void addFree(const QString& cimitir, const QString& sector, const QString& loc,
                 const QString& parcela = QStringLiteral("1"),
                 const QString& rand = QStringLiteral("1")) {
        addPlace({cimitir.isEmpty() ? QVariant() : QVariant(cimitir), sector, parcela, rand, loc,
                  QVariant(), QVariant()});
    }
    void addReceiptType(const QVariant& type) {
        db.exec(QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Tip_incasare) VALUES (1, "
                               "?, ?)"),
                {++lastReceipt, type});
    }

    TempProgramDir dir;
    Database db;
    int lastId = 0;
    int lastReceipt = 0;
};

// A printer with any unprintable border (in tenths of a millimetre: 254 dpi).
class FakePrinter : public PrintDevice {
public:
    FakePrinter() { install(this); }
    ~FakePrinter() override { install(nullptr); }
    PrintOrientation orient = PrintOrientation::Portrait;
    QPageSize paper = QPageSize(QPageSize::A4);
    int left = 0, top = 0, right = 0, bottom = 0;

    QString printerName() const override { return QStringLiteral("Imprimanta de test"); }
    PrintOrientation orientation() const override { return orient; }
    void setOrientation(PrintOrientation o) override { orient = o; }
    QPageSize pageSize() const override { return paper; }
    bool setPageSize(const QPageSize& s) override {
        paper = s;
        return true;
    }
    PrinterMetrics metrics() const override {
        QSizeF mm = paper.size(QPageSize::Millimeter);
        if (orient == PrintOrientation::Landscape)
            mm.transpose();
        PrinterMetrics m;
        m.resolutionX = m.resolutionY = 254;
        m.pageWidth = qRound(mm.width() * 10);
        m.pageHeight = qRound(mm.height() * 10);
        m.offsetX = left;
        m.offsetY = top;
        m.printableWidth = m.pageWidth - left - right;
        m.printableHeight = m.pageHeight - top - bottom;
        return m;
    }
    bool setup(QWidget*) override { return false; }
};

inline QList<QPointer<QTimer>>& pendingAnswers() {
    static QList<QPointer<QTimer>> timers;
    return timers;
}

// Drops the answers no dialog came for, so that they touch no later test.
inline void cancelPendingAnswers() {
    for (const QPointer<QTimer>& t : pendingAnswers())
        delete t.data();
    pendingAnswers().clear();
}

// Answers the next modal dialog once it is up: `act` gets the dialog.
inline void answerModal(const std::function<void(QDialog*)>& act) {
    auto* timer = new QTimer;
    pendingAnswers() << timer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(dlg);
        // A failed check inside must not leave the dialog waiting.
        if (QTest::currentTestFailed() && dlg->isVisible())
            dlg->reject();
    });
    timer->start();
}

template <class W> W* childOf(QWidget* w, const char* name) {
    W* c = w->findChild<W*>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

// The text of a PDF as pdftotext gives it, in layout order.
inline QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The texts of each page as printed lines: the texts lying at about the same
// height, left to right, joined by "|".
inline QList<QStringList> linesOf(const PageModel& m) {
    QList<QStringList> out;
    for (int p = 0; p < m.pageCount(); ++p) {
        std::vector<PageItem> items;
        for (const PageItem& it : m.page(p))
            if (it.kind == PageItem::Text || it.kind == PageItem::PageNumberText)
                items.push_back(it);
        std::stable_sort(items.begin(), items.end(),
                         [](const PageItem& a, const PageItem& b) { return a.y < b.y; });
        QStringList lines;
        std::vector<PageItem> line;
        auto flush = [&] {
            if (line.empty())
                return;
            std::stable_sort(line.begin(), line.end(),
                             [](const PageItem& a, const PageItem& b) { return a.x < b.x; });
            QStringList texts;
            for (const PageItem& it : line)
                texts << m.itemText(p, it);
            lines << texts.join(QLatin1Char('|'));
            line.clear();
        };
        for (const PageItem& it : items) {
            if (!line.empty() && it.y - line.front().y > 1.0)
                flush();
            line.push_back(it);
        }
        flush();
        out << lines;
    }
    return out;
}

// The texts of one page as lines: items on the same baseline joined by " | "
// from left to right.
inline QStringList baselineLines(const PageModel& m, int page) {
    QMap<int, QMap<double, QString>> rows;
    for (const PageItem& it : m.page(page))
        if (it.kind == PageItem::Text || it.kind == PageItem::PageNumberText)
            rows[qRound(it.y * 10)].insert(it.x, m.itemText(page, it));
    QStringList out;
    for (const auto& r : rows)
        out << QStringList(r.values()).join(QStringLiteral(" | "));
    return out;
}

// The item showing `text` on `page`, or nullptr.
inline const PageItem* findText(const PageModel& m, int page, const QString& text) {
    for (const PageItem& it : m.page(page))
        if ((it.kind == PageItem::Text || it.kind == PageItem::PageNumberText) &&
            m.itemText(page, it) == text)
            return &it;
    return nullptr;
}
