#include "RestoreDialog.h"

#include "Backup.h"
#include "Database.h"
#include "Prompts.h"
#include "StoreError.h"
#include "Values.h"
#include "WaitCursor.h"

#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString sizeText(qint64 bytes) {
    return QLocale(QLocale::Romanian).toString(double(bytes) / (1024.0 * 1024.0), 'f', 1) +
           QStringLiteral(" MB");
}

} // namespace

TRestoreFrm::TRestoreFrm(const QList<Restore::DailyCopy>& copies, QWidget* parent)
    : QDialog(parent), m_copies(copies) {
    setObjectName(QStringLiteral("RestoreFrm"));
    setWindowTitle(QStringLiteral("Restaureaza o copie zilnica"));
    resize(640, 360);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(new QLabel(QStringLiteral("Alegeti copia zilnica care inlocuieste registrul. "
                                             "Copiile deteriorate nu pot fi alese."),
                              this));
    CopiiGrid = new QTableWidget(int(copies.size()), 4, this);
    CopiiGrid->setObjectName(QStringLiteral("CopiiGrid"));
    CopiiGrid->setHorizontalHeaderLabels({QStringLiteral("Data"), QStringLiteral("Marime"),
                                          QStringLiteral("Locuri"), QStringLiteral("Verificare")});
    CopiiGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    CopiiGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    CopiiGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CopiiGrid->setTabKeyNavigation(false);
    CopiiGrid->verticalHeader()->hide();
    CopiiGrid->horizontalHeader()->setStretchLastSection(true);
    int first = -1;
    for (int r = 0; r < copies.size(); ++r) {
        const Restore::DailyCopy& c = copies.at(r);
        const QStringList texts = {Values::dateToText(c.day), sizeText(c.size),
                                   c.intact ? QString::number(c.contents.places) : QString(),
                                   c.intact ? QStringLiteral("buna")
                                            : QStringLiteral("deteriorata: ") + c.problem};
        for (int col = 0; col < texts.size(); ++col) {
            auto* item = new QTableWidgetItem(texts.at(col));
            if (col == 1 || col == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (!c.intact)
                item->setFlags(Qt::NoItemFlags); // shown, never chosen
            CopiiGrid->setItem(r, col, item);
        }
        if (c.intact && first < 0)
            first = r;
    }
    CopiiGrid->resizeColumnsToContents();
    lay->addWidget(CopiiGrid, 1);

    auto* buttons = new QDialogButtonBox(this);
    RestaureazaBtn =
        buttons->addButton(QStringLiteral("&Restaureaza..."), QDialogButtonBox::AcceptRole);
    RestaureazaBtn->setObjectName(QStringLiteral("RestaureazaBtn"));
    RestaureazaBtn->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Re&nunta"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("RenuntaBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (chosen() >= 0)
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(CopiiGrid, &QTableWidget::itemSelectionChanged, this,
            [this] { RestaureazaBtn->setEnabled(chosen() >= 0); });
    connect(CopiiGrid, &QTableWidget::cellActivated, this, [this] {
        if (chosen() >= 0)
            accept();
    });
    lay->addWidget(buttons);
    if (first >= 0)
        CopiiGrid->selectRow(first);
    RestaureazaBtn->setEnabled(chosen() >= 0);
    CopiiGrid->setFocus();
}

int TRestoreFrm::chosen() const {
    const QList<QTableWidgetItem*> items = CopiiGrid->selectedItems();
    if (items.isEmpty())
        return -1;
    const int r = items.first()->row();
    return r >= 0 && r < m_copies.size() && m_copies.at(r).intact ? r : -1;
}

namespace RestoreDialog {

bool run(QWidget* parent, Database& db, const QString& backupBase,
         const std::function<void()>& closeTables, const std::function<void()>& reopen) {
    QList<Restore::DailyCopy> copies;
    {
        WaitCursor wait;
        QProgressDialog progress(QStringLiteral("Verific copiile zilnice..."),
                                 QStringLiteral("Renunta"), 0, 100, parent);
        progress.setObjectName(QStringLiteral("RestoreProgress"));
        progress.setWindowTitle(QApplication::applicationName());
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(300);
        copies = Restore::list(backupBase, QString::fromLatin1(Database::FileName),
                               [&progress](int done, int total) {
                                   progress.setMaximum(total);
                                   progress.setValue(done);
                                   return !progress.wasCanceled();
                               });
    }
    if (copies.isEmpty()) {
        Prompts::information(QStringLiteral("Nu exista copii zilnice ale registrului in %1")
                                 .arg(Backup::copiesRoot(backupBase)));
        return false;
    }
    TRestoreFrm form(copies, parent);
    if (form.exec() != QDialog::Accepted || form.chosen() < 0)
        return false;
    const Restore::DailyCopy& copy = copies.at(form.chosen());
    if (Prompts::current().message(
            QApplication::applicationName(),
            Restore::lossText(db.isOpen() ? Restore::contentsOf(db) : Restore::Contents{}, copy),
            PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        return false;
    QString kept;
    {
        WaitCursor wait;
        closeTables();
        try {
            kept = Restore::run(db, copy, backupBase, QDateTime::currentDateTime());
        } catch (...) {
            if (db.isOpen())
                reopen();
            throw;
        }
        // A register damaged at start was never open: the restored one is.
        if (!db.isOpen())
            db.open();
        reopen();
    }
    Prompts::information(
        QStringLiteral("Copia din %1 a fost restaurata: %2.\nRegistrul dinainte de restaurare: %3")
            .arg(Values::dateToText(copy.day),
                 Values::countText(copy.contents.places, QStringLiteral("un loc"),
                                   QStringLiteral("locuri")),
                 kept));
    return true;
}

} // namespace RestoreDialog
