#pragma once

#include <QDialog>
#include <QStringList>

class Database;
class QCheckBox;
class QListWidget;
class QPushButton;

// The layout the cemetery and collection-type dialogs share: the "all" check
// box, the hint, a multi-select list of the distinct values of one column,
// "&Inchide" and "&Deschide". The values chosen come back as a list; an
// empty list means no restriction.
class MultiSelectDlg : public QDialog {
    Q_OBJECT
public:
    struct Texts {
        const char* objectName;
        QString caption;
        QString allText;
        const char* listName;
        QStringList sql; // one column: the distinct values offered
    };

    MultiSelectDlg(QWidget* owner, Database& db, const Texts& texts);

    // Fills the list from the register (store failures propagate).
    void load();
    // Runs the dialog; on OK appends the chosen values to `values`.
    bool ask(QStringList& values);

    // The list box is enabled exactly when the check box is cleared.
    void CBAllClick();
    // The values the dialog stands for now: every distinct value when the
    // check box is checked (read again), otherwise the selected items.
    QStringList chosen();

    QCheckBox* CBAll() const { return m_all; }
    QListWidget* list() const { return m_list; }

private:
    QStringList distinctValues();

    Database& m_db;
    QStringList m_sql;
    QCheckBox* m_all = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_ok = nullptr;
};
