#pragma once

#include "Prompts.h"
#include "StoreError.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <functional>

// A temporary program directory (with its trailing separator), removed
// with everything in it when the test ends. For its lifetime the start-up's
// daily backup goes under a temporary root of its own, never the home.
class TempProgramDir {
public:
    TempProgramDir();
    ~TempProgramDir();
    const QString& path() const { return m_path; } // ends with '/'
    QString file(const QString& name) const { return m_path + name; }
    bool isValid() const { return m_dir.isValid() && m_backupRoot.isValid(); }
    // The root that holds "SalvariQuarvenn", and the base path under it.
    QString backupRoot() const { return m_backupRoot.path(); }
    QString backupBase() const { return m_backupRoot.path() + QStringLiteral("/Tombrix"); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QTemporaryDir m_backupRoot;
    QString m_previousBackupBase;
};

// Answers every message box and input box from a script and records what
// was shown, so that no test ever blocks on a modal dialog. Installed for
// its lifetime.
class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        QString caption;
        QString text;
        PromptIcon icon;
        PromptButtons buttons;
        PromptAnswer defaultAnswer;
        bool input = false; // an input box; `text` is its prompt
    };

    ScriptedPrompts();
    ~ScriptedPrompts() override;

    // Answers for the next message boxes; when none is queued the box's
    // default button is taken.
    void queueAnswer(PromptAnswer answer) { m_answers.append(answer); }
    // Answers for the next input boxes; a null QString means Cancel. When
    // none is queued, Cancel.
    void queueInput(const QString& text) { m_inputs.append(text); }

    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    void clear() { m_shown.clear(); }

    PromptAnswer message(const QString& caption, const QString& text, PromptIcon icon,
                         PromptButtons buttons, PromptAnswer defaultAnswer) override;
    bool inputText(const QString& caption, const QString& prompt, QString* text) override;

private:
    QList<Shown> m_shown;
    QList<PromptAnswer> m_answers;
    QList<QString> m_inputs;
};

// Fixes today's date for its lifetime.
class FixedToday {
public:
    explicit FixedToday(const QDate& date);
    ~FixedToday();
};

class Connection;
class Database;

// The first value of a one-value query as a number; -1 when it fails or
// gives no row.
qint64 scalarOf(Connection& db, const QString& sql);
qint64 scalarOf(Database& db, const QString& sql);
// The same through a read-only connection of its own to the file, as
// another program would read it.
qint64 scalarInFile(const QString& file, const QString& sql);
// A query's first value, a text saying why when there is none.
QVariant valueOf(Database& db, const QString& sql);
// Every row of a query, its values as text ("NULL" for none) joined by
// '|'; {"SQL error"} when it fails.
QStringList rowsOf(Database& db, const QString& sql);
// The kind of the store failure an action raises; -1 when it raises none.
FailureKind failureKindOf(const std::function<void()>& action);
