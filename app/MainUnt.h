#pragma once

#include <QMainWindow>
#include <memory>

class PlaceRegister;
namespace Restore {
class InUseLock;
}
class Database;
class DBNavigator;
class ExemptionGroup;
class HintTracker;
class PlaceHeader;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;
class TCustomFileStraam;
class TDBGridNormal;
class TLinkLabel;
class Table;

// The main window: owns the register's tables for the whole run and wires
// the grids, menus and rules to them.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // `programDir` ends with a separator; the register lives there, or on
    // the PostgreSQL server `server` names (a libpq connection string).
    explicit TMainForm(const QString& programDir, const QString& server = QString(),
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    const QString& programDir() const { return m_programDir; }
    Database& database() { return *m_db; }
    Table* Catalog() const { return m_catalog; }
    Table* Concesionari() const { return m_concesionari; }
    Table* PersInmormantate() const { return m_persInmormantate; }
    Table* Chitante() const { return m_chitante; }
    Table* Unitatea() const { return m_unitatea; }
    const QString& unitName() const;
    QString hint() const;
    static QString versionText();

    // Menu commands.
    void Unitatea1Click();
    void Stergefisierecfg1Click();
    void Iesire1Click();
    void SortComboClick();
    void FiltrareBtnClick();
    void FiltrSectEditChange();
    void Image1Click();
    void Actualizareonline1Click();
    void SearchBtnClick();
    void Importadatelevechi1Click();
    // The import after the directory is chosen: trial, report, import.
    void importLegacy(const QString& directory);
    // Lists the daily copies and restores the one chosen.
    void Restaureazaocopiezilnica1Click();
    // Writes the grid that holds the keys to a spreadsheet.
    void Exportatabelulcurent1Click();
    TLinkLabel* LinkLbl() const { return m_linkLbl; }
    ExemptionGroup* exemption() const { return m_exemption; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    void buildExemption();
    QWidget* buildCatalogTab();
    QWidget* buildDetailTab(TDBGridNormal*& grid, const QString& gridName, PlaceHeader*& header);
    void FormCreate();
    void FormShow();
    void FormClose();
    // Saves the rows still being edited; where one cannot be saved, asks
    // whether to close without it. False keeps the window open.
    bool saveRowsBeforeClose();
    // Saves every row still being edited; StoreError when one cannot be.
    void saveRows();
    void upgradeStructure();
    void openTables();
    void setBuiltInColumns();
    void closeTables();
    void checkVersion(bool automatic);
    // The grids whose column layouts the layout file keeps, in its order.
    QList<TDBGridNormal*> layoutGrids() const;
    // The table whose rows the tab at `index` shows; null for none.
    Table* pageTable(int index) const;
    // Shows what other clerks saved, once no row is being typed.
    void followOthers();

    QString m_programDir;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<Restore::InUseLock> m_inUse; // a restore elsewhere waits for us
    Table* m_catalog = nullptr;
    Table* m_concesionari = nullptr;
    Table* m_persInmormantate = nullptr;
    Table* m_chitante = nullptr;
    Table* m_unitatea = nullptr;
    std::unique_ptr<PlaceRegister> m_register;
    bool m_shown = false;
    bool m_closed = false;
    bool m_othersSaved = false; // seen, and shown once no row is typed
    std::unique_ptr<TCustomFileStraam> m_layoutFile;

    DBNavigator* m_navigator = nullptr;
    QToolButton* m_searchBtn = nullptr;
    QTabWidget* m_pages = nullptr;
    int m_page = -1; // the tab shown, to go back to when it cannot be left
    TDBGridNormal* m_catGrid = nullptr;
    TDBGridNormal* m_istoricGrid = nullptr;
    TDBGridNormal* m_mortiGrid = nullptr;
    TDBGridNormal* m_chitanteGrid = nullptr;
    PlaceHeader* m_istoricHeader = nullptr;
    PlaceHeader* m_mortiHeader = nullptr;
    PlaceHeader* m_chitanteHeader = nullptr;
    QComboBox* m_sortCombo = nullptr;
    int m_sortShown = 0; // the order the register is in
    QPushButton* m_filtrareBtn = nullptr;
    QList<QLineEdit*> m_filterEdits; // Sect, Par, Rand, Loc, Cnp, Nume, Obs
    QLabel* m_banner = nullptr;
    QLabel* m_statusLine = nullptr;
    HintTracker* m_hints = nullptr;
    TLinkLabel* m_linkLbl = nullptr;
    ExemptionGroup* m_exemption = nullptr;
};
