#include "MainUnt.h"

#include "Backup.h"
#include "CatalogFilter.h"
#include "CatalogSort.h"
#include "Clock.h"
#include "ConcessionRules.h"
#include "DBCheckBoxNormal.h"
#include "DBEditNormal.h"
#include "DBGNorm.h"
#include "DBMemo.h"
#include "DBNavigator.h"
#include "Database.h"
#include "ExemptionGroup.h"
#include "GridExport.h"
#include "Guard.h"
#include "HintTracker.h"
#include "LegacyImportDialog.h"
#include "Linklab.h"
#include "MainColumns.h"
#include "OnlineUpdate.h"
#include "PlaceHeader.h"
#include "PlaceRegister.h"
#include "Prompts.h"
#include "ReportProgress.h"
#include "ReportRun.h"
#include "Restore.h"
#include "RestoreDialog.h"
#include "Search.h"
#include "ServerBackup.h"
#include "StoreError.h"
#include "Streeming.h"
#include "Table.h"
#include "Upgrade.h"
#include "WaitCursor.h"
#include "dbdate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#ifndef TOMBRIX_VERSION
#define TOMBRIX_VERSION ""
#endif
#ifndef TOMBRIX_VENDOR_URL
#define TOMBRIX_VENDOR_URL "https://tombrix.invalid"
#endif

namespace {

const char* const kVendorNotice =
    "Tombrix - evidenta locurilor de veci. Contact: " TOMBRIX_VENDOR_URL;

// The vendor's banner: painted, so that no picture file has to travel.
QPixmap bannerPixmap() {
    QPixmap pm(520, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 520, 0);
    g.setColorAt(0, QColor(0x33, 0x33, 0x66));
    g.setColorAt(1, QColor(0x66, 0x66, 0x99));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(1, 4, 518, 56), 8, 8);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Liberation Serif"), 20, QFont::Bold);
    p.setFont(f);
    p.drawText(QRect(16, 4, 200, 56), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Tombrix"));
    QFont s(QStringLiteral("Liberation Sans"), 10);
    p.setFont(s);
    p.drawText(QRect(180, 4, 330, 56), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Registrul locurilor de veci\n") +
                   QStringLiteral(TOMBRIX_VENDOR_URL));
    return pm;
}

// A label that reports clicks, for the banner.
class ClickLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onClick)
            onClick();
        QLabel::mouseReleaseEvent(e);
    }
};

// The application's own colours, set explicitly so that they are not
// inherited from the window's highlight-coloured background.
QPalette plainPalette() {
    QPalette p = QApplication::palette();
    for (QPalette::ColorRole role :
         {QPalette::Window, QPalette::WindowText, QPalette::Base, QPalette::Button})
        p.setColor(role, p.color(role));
    return p;
}

QAction* addItem(QMenu* menu, const char* name, const QString& text) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

} // namespace

TMainForm::TMainForm(const QString& programDir, const QString& server, QWidget* parent)
    : QMainWindow(parent), m_programDir(programDir),
      m_db(std::make_unique<Database>(programDir + QString::fromLatin1(Database::FileName),
                                      server)) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Tombrix"));
    setProperty("hint", QString::fromLatin1(kVendorNotice));

    m_inUse = std::make_unique<Restore::InUseLock>(m_db->path());
    m_register = std::make_unique<PlaceRegister>(*m_db, this);
    m_catalog = &m_register->catalog();
    m_concesionari = &m_register->concesionari();
    m_persInmormantate = &m_register->persInmormantate();
    m_chitante = &m_register->chitante();
    m_unitatea = &m_register->unitatea();

    buildWindow();
    buildMenus();
    FormCreate();

    // Other clerks' saves (another program on the file, or clerks on the
    // server) show up within about a second.
    auto* follow = new QTimer(this);
    follow->setObjectName(QStringLiteral("FollowOthers"));
    connect(follow, &QTimer::timeout, this, [this] { followOthers(); });
    follow->start(1000);
}

void TMainForm::followOthers() {
    if (m_closed || !m_db->isOpen())
        return;
    if (m_db->checkExternal())
        m_othersSaved = true;
    if (!m_othersSaved)
        return;
    // A row being typed, a dialog or a command at work: not now.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
        QGuiApplication::overrideCursor())
        return;
    for (Table* t : m_register->tables())
        if (t->isActive() && t->isEditing())
            return;
    m_othersSaved = false;
    // A save of this window's since then took the tables' change marks up
    // to now: every table reads its rows again.
    m_db->noteChangeAll();
    guarded([this] {
        // The place's table first: its details follow the row it keeps.
        for (Table* t : m_register->tables())
            if (t->isActive())
                t->refresh();
    });
}

TMainForm::~TMainForm() {
    // Nothing may leave a destructor: a row that cannot be saved now is lost
    // only here, after the window had its chance to ask.
    if (!m_closed)
        guarded([this] { closeTables(); });
}

QString TMainForm::versionText() {
    const QString v = QString::fromLatin1(TOMBRIX_VERSION);
    return v.isEmpty() ? QStringLiteral("0.0.0.0") : v;
}

const QString& TMainForm::unitName() const {
    return m_register->unitName();
}

QString TMainForm::hint() const {
    return property("hint").toString();
}

// ---------------------------------------------------------------- layout

void TMainForm::buildWindow() {
    resize(845, 571);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFixedHeight(26);
    m_navigator = new DBNavigator(bar);
    m_navigator->setObjectName(QStringLiteral("DBNavigator1"));
    m_navigator->setTable(m_catalog);
    bar->addWidget(m_navigator);
    bar->addSeparator();
    m_searchBtn = new QToolButton(bar);
    m_searchBtn->setObjectName(QStringLiteral("SearchBtn"));
    m_searchBtn->setText(QStringLiteral("Cauta"));
    QFont bold = m_searchBtn->font();
    bold.setBold(true);
    m_searchBtn->setFont(bold);
    m_searchBtn->setToolTip(QStringLiteral("Cautare in coloana selectata"));
    m_searchBtn->setProperty("hint", QStringLiteral("Cautare in coloana selectata"));
    m_searchBtn->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F)); // reachable from the keys
    connect(m_searchBtn, &QToolButton::clicked, this,
            [this] { guarded([this] { SearchBtnClick(); }); });
    bar->addWidget(m_searchBtn);
    addToolBar(Qt::TopToolBarArea, bar);

    auto* central = new QWidget(this);
    central->setAutoFillBackground(true);
    QPalette pal = central->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    central->setPalette(pal);
    auto* lay = new QVBoxLayout(central);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);

    m_pages = new QTabWidget(central);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->setAutoFillBackground(true);
    m_pages->setPalette(plainPalette());
    m_pages->addTab(buildCatalogTab(), QStringLiteral("&Catalog"));
    m_pages->addTab(buildDetailTab(m_istoricGrid, QStringLiteral("IstoricGrid"), m_istoricHeader),
                    QStringLiteral("&Istoric loc"));
    m_pages->addTab(buildDetailTab(m_mortiGrid, QStringLiteral("MortiGrid"), m_mortiHeader),
                    QStringLiteral("&Persoane inmormantate"));
    m_pages->addTab(
        buildDetailTab(m_chitanteGrid, QStringLiteral("ChitanteGrid"), m_chitanteHeader),
        QStringLiteral("Date curente (chitante)"));
    for (const QString& spare : {QStringLiteral("&Rezerva1"), QStringLiteral("&Rezerva2")}) {
        auto* page = new QWidget;
        auto* pl = new QVBoxLayout(page);
        pl->setContentsMargins(0, 0, 0, 0);
        pl->addWidget(new PlaceHeader(page));
        pl->addStretch(1);
        m_pages->setTabVisible(m_pages->addTab(page, spare), false);
    }
    m_pages->tabBar()->setExpanding(false);
    // A tab chosen from the keys (Alt+I, Alt+P) hands the keys to its grid:
    // otherwise they would go to whatever control the page change left them on.
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
        // A tab whose controls hold a value the field refused is not left:
        // leaving the control has just said why, and the control takes the
        // keys back once its page shows again.
        if (m_page >= 0 && m_page != index) {
            if (Table* left = pageTable(m_page); left && left->isActive()) {
                bool refused = false;
                guarded([&] {
                    try {
                        left->takeTypedText();
                    } catch (const StoreError&) {
                        refused = true; // leaving the control has just said why
                    }
                });
                if (refused) {
                    m_pages->setCurrentIndex(m_page);
                    return;
                }
            }
        }
        m_page = index;
        QWidget* page = m_pages->currentWidget();
        const QWidget* focus = QApplication::focusWidget();
        if (!page || !isActiveWindow())
            return;
        for (TDBGridNormal* grid : layoutGrids())
            if (page->isAncestorOf(grid) &&
                !(focus && (focus == grid || grid->isAncestorOf(focus))))
                grid->setFocus(Qt::TabFocusReason);
    });
    m_page = m_pages->currentIndex();
    lay->addWidget(m_pages, 1);

    auto* banner = new ClickLabel(central);
    banner->setObjectName(QStringLiteral("Image1"));
    banner->setPixmap(bannerPixmap());
    banner->setAlignment(Qt::AlignCenter);
    banner->setFixedHeight(64);
    banner->setCursor(Qt::PointingHandCursor);
    banner->setProperty("hint", QStringLiteral(TOMBRIX_VENDOR_URL));
    banner->onClick = [this] { guarded([this] { Image1Click(); }); };
    m_banner = banner;
    lay->addWidget(banner);

    m_statusLine = new QLabel(central);
    m_statusLine->setObjectName(QStringLiteral("StatusLine"));
    m_statusLine->setFixedHeight(20);
    m_statusLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusLine->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_statusLine->setAutoFillBackground(true);
    m_statusLine->setPalette(plainPalette());
    lay->addWidget(m_statusLine);
    setCentralWidget(central);

    m_catGrid->setTable(m_catalog);
    m_istoricGrid->setTable(m_concesionari);
    m_mortiGrid->setTable(m_persInmormantate);
    m_chitanteGrid->setTable(m_chitante);
    setBuiltInColumns();
    for (TDBGridNormal* g : {m_istoricGrid, m_mortiGrid, m_chitanteGrid})
        g->setConfirmDelete(true);
    for (PlaceHeader* h : {m_istoricHeader, m_mortiHeader, m_chitanteHeader})
        h->setSource(m_catalog);
    buildExemption();
}

// The exemption group under the concession grid, its rule, and the tab's
// focus order: check box, grid, document number, date, explanation.
void TMainForm::buildExemption() {
    QWidget* page = m_istoricGrid->parentWidget();
    m_exemption = new ExemptionGroup(page);
    page->layout()->addWidget(m_exemption);
    m_exemption->setTable(m_concesionari);
    ConcessionRules& rules = m_register->concessionRules();
    rules.showExemption = [this](bool visible) { m_exemption->showDocument(visible); };
    connect(m_exemption->DBCheckBoxNormal1, &QCheckBox::toggled, this,
            [this](bool on) { m_register->concessionRules().DBCheckBoxNormal1Click(on); });
    setTabOrder(m_exemption->DBCheckBoxNormal1, m_istoricGrid);
    setTabOrder(m_istoricGrid, m_exemption->DBEditNormal1);
    setTabOrder(m_exemption->DBEditNormal1, m_exemption->DBDateEdit1);
    setTabOrder(m_exemption->DBDateEdit1, m_exemption->DBMemo1);
}

QWidget* TMainForm::buildCatalogTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("CatalogTab"));
    auto* lay = new QVBoxLayout(page);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);

    auto* strip = new QFrame(page);
    strip->setObjectName(QStringLiteral("SortPanel"));
    strip->setFrameShape(QFrame::StyledPanel);
    auto* sl = new QHBoxLayout(strip);
    sl->setContentsMargins(3, 2, 3, 2);
    sl->setSpacing(2);
    sl->addWidget(new QLabel(QStringLiteral("Ordonare:"), strip));
    m_sortCombo = new QComboBox(strip);
    m_sortCombo->setObjectName(QStringLiteral("SortCombo"));
    m_sortCombo->addItems(CatalogSort::texts());
    m_sortCombo->setFixedWidth(100);
    connect(m_sortCombo, &QComboBox::activated, this,
            [this] { guarded([this] { SortComboClick(); }); });
    sl->addWidget(m_sortCombo);
    m_filtrareBtn = new QPushButton(QStringLiteral("&Activeaza mod filtrare"), strip);
    m_filtrareBtn->setObjectName(QStringLiteral("FiltrareBtn"));
    m_filtrareBtn->setFixedWidth(130);
    connect(m_filtrareBtn, &QPushButton::clicked, this,
            [this] { guarded([this] { FiltrareBtnClick(); }); });
    sl->addWidget(m_filtrareBtn);
    const QList<std::tuple<const char*, const char*, int>> edits = {
        {"FiltrSectEdit", "Sect. :", 25}, {"FiltrParEdit", "Par. :", 25},
        {"FiltrRandEdit", "Rand :", 25},  {"FiltrLocEdit", "Loc :", 25},
        {"FiltrCnpEdit", "CNP :", 53},    {"FiltrNumeEdit", "Nume :", 73},
        {"FiltrObsEdit", "Obs. :", 73},
    };
    for (const auto& [name, caption, width] : edits) {
        sl->addWidget(new QLabel(QString::fromLatin1(caption), strip));
        auto* e = new QLineEdit(strip);
        e->setObjectName(QString::fromLatin1(name));
        e->setFixedWidth(width);
        connect(e, &QLineEdit::textChanged, this,
                [this] { guarded([this] { FiltrSectEditChange(); }); });
        m_filterEdits << e;
        sl->addWidget(e);
    }
    sl->addStretch(1);
    // The strip never holds the window wider than its designed 845 pixels:
    // on a narrower window its right end is clipped, not squeezed.
    auto* holder = new QScrollArea(page);
    holder->setFrameShape(QFrame::NoFrame);
    holder->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    holder->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    holder->setWidgetResizable(true);
    holder->setWidget(strip);
    holder->setPalette(plainPalette());
    holder->setFixedHeight(strip->sizeHint().height());
    lay->addWidget(holder);

    // The vehicle that opens the vendor's pages; never shown.
    m_linkLbl = new TLinkLabel(page);
    m_linkLbl->setObjectName(QStringLiteral("LinkLbl"));
    m_linkLbl->setCaption(QStringLiteral("Versiune"));
    m_linkLbl->setUrlType(TLinkLabel::utHttps);
    m_linkLbl->setUrlTypeAdd(false); // the vendor's addresses carry their scheme
    m_linkLbl->setVisible(false);

    m_catGrid = new TDBGridNormal(page);
    m_catGrid->setObjectName(QStringLiteral("CatGrid"));
    lay->addWidget(m_catGrid, 1);
    return page;
}

QWidget* TMainForm::buildDetailTab(TDBGridNormal*& grid, const QString& gridName,
                                   PlaceHeader*& header) {
    auto* page = new QWidget;
    auto* lay = new QVBoxLayout(page);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    header = new PlaceHeader(page);
    header->setObjectName(gridName + QStringLiteral("Header"));
    lay->addWidget(header);
    grid = new TDBGridNormal(page);
    grid->setObjectName(gridName);
    lay->addWidget(grid, 1);
    return page;
}

void TMainForm::buildMenus() {
    QMenu* sistem = menuBar()->addMenu(QStringLiteral("&Sistem"));
    sistem->setObjectName(QStringLiteral("Sistem1"));
    QAction* unit = addItem(sistem, "Unitatea1", QStringLiteral("Unitatea"));
    connect(unit, &QAction::triggered, this, [this] { guarded([this] { Unitatea1Click(); }); });
    QAction* reset = addItem(sistem, "Stergefisierecfg1", QStringLiteral("Sterge fisierele .cfg"));
    connect(reset, &QAction::triggered, this,
            [this] { guarded([this] { Stergefisierecfg1Click(); }); });
    QAction* legacy =
        addItem(sistem, "Importadatelevechi1", QStringLiteral("Importa datele vechi..."));
    connect(legacy, &QAction::triggered, this,
            [this] { guarded([this] { Importadatelevechi1Click(); }); });
    QAction* restore = addItem(sistem, "Restaureazaocopiezilnica1",
                               QStringLiteral("Restaureaza o copie zilnica..."));
    connect(restore, &QAction::triggered, this,
            [this] { guarded([this] { Restaureazaocopiezilnica1Click(); }); });
    QAction* exportGrid =
        addItem(sistem, "Exportatabelulcurent1", QStringLiteral("Exporta tabelul curent..."));
    connect(exportGrid, &QAction::triggered, this,
            [this] { guarded([this] { Exportatabelulcurent1Click(); }); });
    sistem->addSeparator();
    QAction* quit = addItem(sistem, "Iesire1", QStringLiteral("Iesire"));
    quit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    connect(quit, &QAction::triggered, this, [this] { guarded([this] { Iesire1Click(); }); });

    QMenu* listari = menuBar()->addMenu(QStringLiteral("&Listari"));
    listari->setObjectName(QStringLiteral("Listari1"));
    for (const auto& [name, text] :
         {std::pair{"Locurileramaseneocupate1", "Locurile ramase neocupate"},
          std::pair{"Incasariinperioada1", "Incasari in perioada"},
          std::pair{"Restantieri1", "Restantieri"},
          std::pair{"Concesiuniexpirate1", "Concesiuni expirate"},
          std::pair{"Deciziideimpunere1", "Decizii de impunere"}}) {
        // Enabled as their reports arrive.
        QAction* item = addItem(listari, name, QString::fromLatin1(text));
        const auto kind =
            std::find_if(reportKinds().begin(), reportKinds().end(),
                         [item](const ReportKind& k) { return k.caption == item->text(); });
        item->setEnabled(kind != reportKinds().end());
        if (kind != reportKinds().end())
            connect(item, &QAction::triggered, this, [this, k = &*kind] {
                guarded([this, k] {
                    // A list reads what is stored: what is typed goes first.
                    saveRows();
                    ReportRun::menuCommand(*k, this, *m_db, m_programDir);
                });
            });
    }

    QMenu* ajutor = menuBar()->addMenu(QStringLiteral("A&jutor"));
    ajutor->setObjectName(QStringLiteral("Ajutor1"));
    QAction* update = addItem(ajutor, "Actualizareonline1", QStringLiteral("Actualizare online"));
    connect(update, &QAction::triggered, this,
            [this] { guarded([this] { Actualizareonline1Click(); }); });
}

// ---------------------------------------------------------------- life cycle

void TMainForm::FormCreate() {
    // One unit: an error stops the remaining steps, and the window opens
    // all the same with whatever was opened.
    guarded([this] {
        m_db->open(); // a fresh installation gets its empty register here
        // An empty or damaged register is neither copied over the good
        // daily copies nor opened for editing.
        if (m_db->server().isEmpty()) {
            Backup::verify(m_db->path(), *m_db, Backup::defaultBasePath());
            Backup::run(m_db->path(), Backup::defaultBasePath(), Clock::today());
        } else {
            // The register itself is safe on the server, which its
            // administrator copies too: a failed daily copy is told, and
            // the clerk works on.
            try {
                ServerBackup::run(*m_db, Backup::defaultBasePath(), Clock::today());
            } catch (const StoreError& e) {
                Prompts::warning(e.message());
            }
        }
        upgradeStructure();
        openTables();
        // Default widths follow the fields' sizes, known once the tables are open.
        setBuiltInColumns();
        m_register->loadUnitName();
        m_pages->setCurrentIndex(0);
        m_sortCombo->setCurrentIndex(0);
        SortComboClick();
        m_hints = new HintTracker(m_statusLine, this);
        ReportProgress::setPanel(m_statusLine);
        // Said once here; the grids refuse each change with the same words.
        if (!m_db->writable())
            Prompts::warning(m_db->readOnlyReason());
    });
    m_navigator->updateButtons();
}

void TMainForm::upgradeStructure() {
    UpgradeHooks hooks;
    hooks.message = [](const QString& text) {
        Prompts::current().message(QApplication::applicationName(), text, PromptIcon::None,
                                   PromptButtons::Ok, PromptAnswer::Ok);
    };
    hooks.waitCursor = [] { QGuiApplication::setOverrideCursor(Qt::WaitCursor); };
    hooks.restoreCursor = [] { QGuiApplication::restoreOverrideCursor(); };
    SchemaUpgrade(*m_db, std::move(hooks)).run();
}

void TMainForm::setBuiltInColumns() {
    m_catGrid->setColumns(MainColumns::catalog());
    m_istoricGrid->setColumns(MainColumns::istoric());
    m_mortiGrid->setColumns(MainColumns::morti());
    m_chitanteGrid->setColumns(MainColumns::chitante());
}

void TMainForm::openTables() {
    // The order the sort box will ask for, so the register is read once.
    CatalogSort::choose(*m_catalog, m_sortCombo->currentIndex());
    m_register->open();
}

void TMainForm::closeTables() {
    m_register->close();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

Table* TMainForm::pageTable(int index) const {
    const QWidget* page = m_pages->widget(index);
    for (TDBGridNormal* grid : layoutGrids())
        if (page && page->isAncestorOf(grid))
            return grid->table();
    return nullptr;
}

QList<TDBGridNormal*> TMainForm::layoutGrids() const {
    return {m_catGrid, m_istoricGrid, m_mortiGrid, m_chitanteGrid};
}

void TMainForm::FormShow() {
    setProperty("hint", hint() + QStringLiteral(" - Versiunea ") + versionText());
    if (m_hints)
        m_hints->update();
    guarded([this] {
        // A layout that cannot be read leaves the grids as designed.
        m_layoutFile = std::make_unique<TCustomFileStraam>(
            m_programDir + QString::fromLatin1(TCustomFileStraam::FileName));
        m_layoutFile->load(layoutGrids());
    });
    // The clerk starts typing in the register straight away.
    m_catGrid->setFocus();
    checkVersion(true);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!m_closed && !saveRowsBeforeClose()) {
        event->ignore();
        return;
    }
    if (!m_closed)
        FormClose();
    event->accept();
}

bool TMainForm::saveRowsBeforeClose() {
    // Details first: saving the place moves the details along with it.
    QList<Table*> tables = m_register->tables();
    std::reverse(tables.begin(), tables.end());
    for (Table* t : std::as_const(tables)) {
        while (t->isActive() && t->isEditing()) {
            QString failure;
            try {
                t->checkBrowseMode();
                continue;
            } catch (const Abort&) {
                failure = QStringLiteral("Inregistrarea nu poate fi salvata");
            } catch (const StoreError& e) {
                failure = e.message();
            } catch (const std::exception& e) {
                failure = QString::fromLocal8Bit(e.what());
            }
            const PromptAnswer answer = Prompts::current().message(
                QApplication::applicationName(),
                Prompts::errorText(failure) +
                    QStringLiteral("\n\nInchideti fara a salva aceasta inregistrare? "
                                   "Modificarile ei nesalvate se pierd."),
                PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No);
            if (answer != PromptAnswer::Yes)
                return false;
            guarded([t] { t->cancel(); });
            if (t->isEditing())
                return false;
        }
    }
    return true;
}

void TMainForm::saveRows() {
    for (Table* t : m_register->tables())
        if (t->isActive())
            t->checkBrowseMode(); // the register's own settles its details first
}

void TMainForm::FormClose() {
    m_closed = true;
    if (m_layoutFile) {
        m_layoutFile->save(layoutGrids()); // a failure never stops the closing
        m_layoutFile.reset();
    }
    // A row still being typed is saved, not lost, when the window closes.
    for (Table* t : m_register->tables())
        if (t->isActive() && t->isEditing())
            guarded([t] { t->checkBrowseMode(); });
    guarded([this] { closeTables(); });
    m_db->close();
}

// ---------------------------------------------------------------- commands

void TMainForm::Iesire1Click() {
    close();
}

void TMainForm::Unitatea1Click() {
    m_register->askUnitName();
}

void TMainForm::Stergefisierecfg1Click() {
    if (Prompts::current().message(
            QApplication::applicationName(),
            QStringLiteral("Operatiunea restabileste afisarea implicita a coloanelor in tabele. "
                           "Programul se va inchide. Doriti sa continuati?"),
            PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        return;
    // Closing writes the layout once more; it goes after that. A close
    // the clerk declined (a row that cannot be saved) keeps it.
    if (!close())
        return;
    QFile::remove(m_programDir + QString::fromLatin1(TCustomFileStraam::FileName));
}

void TMainForm::Importadatelevechi1Click() {
    const QString dir = LegacyImportDialog::chooseDirectory(this);
    if (!dir.isEmpty())
        importLegacy(dir);
}

void TMainForm::importLegacy(const QString& directory) {
    // A row still being typed is saved first; the copy before the import keeps it.
    saveRows();
    if (!LegacyImportDialog::run(this, *m_db, directory, Backup::defaultBasePath()))
        return;
    for (Table* t : m_register->tables())
        if (t->isActive())
            t->refresh();
    m_register->loadUnitName();
}

void TMainForm::Restaureazaocopiezilnica1Click() {
    if (!m_db->server().isEmpty()) {
        Prompts::information(
            QStringLiteral("Registrul este pe serverul PostgreSQL (baza de date %1). Copiile lui "
                           "zilnice (Tombrix.dump in SalvariQuarvenn) se restaureaza cu "
                           "pg_restore, de catre administratorul serverului, asa cum arata "
                           "fisierul README, sectiunea \"The daily copy of a register on a "
                           "server\".")
                .arg(m_db->connection().where()));
        return;
    }
    if (!m_inUse->held())
        throw StoreError(Restore::InUseLock::refusal(m_db->path()));
    // A row still being typed is saved first; the copy kept before the restore holds it.
    saveRows();
    RestoreDialog::run(
        this, *m_db, Backup::defaultBasePath(), [this] { closeTables(); },
        [this] {
            upgradeStructure();
            openTables();
            m_register->loadUnitName();
            SortComboClick();
        });
}

void TMainForm::Exportatabelulcurent1Click() {
    // The grid that holds the keys, else the one of the active tab.
    const QWidget* focus = QApplication::focusWidget();
    TDBGridNormal* chosen = nullptr;
    for (TDBGridNormal* grid : layoutGrids())
        if (focus && (focus == grid || grid->isAncestorOf(focus)))
            chosen = grid;
    for (TDBGridNormal* grid : layoutGrids())
        if (!chosen && m_pages->currentWidget() && m_pages->currentWidget()->isAncestorOf(grid))
            chosen = grid;
    GridExport::run(chosen, this);
}

void TMainForm::SortComboClick() {
    WaitCursor wait;
    try {
        CatalogSort::apply(*m_catalog, m_sortCombo->currentIndex());
    } catch (...) {
        // A row that cannot be saved keeps the order, and the box says so.
        m_sortCombo->setCurrentIndex(m_sortShown);
        throw;
    }
    m_sortShown = m_sortCombo->currentIndex();
}

void TMainForm::FiltrareBtnClick() {
    WaitCursor wait;
    m_catalog->setFiltered(!m_catalog->filtered());
    if (m_catalog->filtered()) {
        m_filtrareBtn->setText(QStringLiteral("&Elimina filtrarea"));
    } else {
        m_filtrareBtn->setText(QStringLiteral("&Activeaza mod filtrare"));
        for (QLineEdit* e : m_filterEdits)
            e->clear();
    }
}

void TMainForm::FiltrSectEditChange() {
    for (int i = 0; i < m_filterEdits.size(); ++i)
        m_register->filter().setText(i, m_filterEdits.at(i)->text());
    if (m_catalog->isActive())
        m_catalog->refresh();
}

void TMainForm::Image1Click() {
    m_linkLbl->setUrl(OnlineUpdate::baseAddress());
    m_linkLbl->OpenURL(); // a browser that cannot start is not reported
}

void TMainForm::Actualizareonline1Click() {
    checkVersion(false);
}

void TMainForm::SearchBtnClick() {
    // The grid of the active tab.
    for (TDBGridNormal* grid : layoutGrids())
        if (m_pages->currentWidget() && m_pages->currentWidget()->isAncestorOf(grid)) {
            SearchPlace(grid, *m_catalog, this);
            return;
        }
}

void TMainForm::checkVersion(bool automatic) {
    if (!OnlineUpdate::offerAccepted(automatic ? OnlineUpdate::Mode::Automatic
                                               : OnlineUpdate::Mode::Menu,
                                     versionText(), [this] { return !m_closed; }))
        return;
    m_linkLbl->setUrl(OnlineUpdate::downloadPageAddress());
    m_linkLbl->OpenURL();
    // The automatic check runs inside the first show event, where a direct
    // close would leave the native window on screen: close once it is done.
    if (automatic)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    else
        close();
}
