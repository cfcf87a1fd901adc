#include "TestSupport.h"

#include "Backup.h"
#include "Clock.h"
#include "Database.h"
#include "SqliteConnection.h"
#include "StoreError.h"

TempProgramDir::TempProgramDir()
    : m_path(m_dir.path() + QLatin1Char('/')),
      m_previousBackupBase(Backup::setDefaultBasePath(backupBase())) {}

TempProgramDir::~TempProgramDir() {
    Backup::setDefaultBasePath(m_previousBackupBase);
}

ScriptedPrompts::ScriptedPrompts() {
    Prompts::install(this);
}

ScriptedPrompts::~ScriptedPrompts() {
    Prompts::install(nullptr);
}

QStringList ScriptedPrompts::texts() const {
    QStringList out;
    for (const Shown& s : m_shown)
        out << s.text;
    return out;
}

PromptAnswer ScriptedPrompts::message(const QString& caption, const QString& text, PromptIcon icon,
                                      PromptButtons buttons, PromptAnswer defaultAnswer) {
    m_shown.append({caption, text, icon, buttons, defaultAnswer, false});
    return m_answers.isEmpty() ? defaultAnswer : m_answers.takeFirst();
}

bool ScriptedPrompts::inputText(const QString& caption, const QString& prompt, QString* text) {
    m_shown.append(
        {caption, prompt, PromptIcon::None, PromptButtons::OkCancel, PromptAnswer::Ok, true});
    if (m_inputs.isEmpty())
        return false;
    const QString answer = m_inputs.takeFirst();
    if (answer.isNull())
        return false;
    *text = answer;
    return true;
}

FixedToday::FixedToday(const QDate& date) {
    Clock::setToday(date);
}

FixedToday::~FixedToday() {
    Clock::setToday(QDate());
}

qint64 scalarOf(Connection& db, const QString& sql) {
    try {
        Statement st(db, sql);
        return st.step() ? st.value(0).toLongLong() : -1;
    } catch (const StoreError&) {
        return -1;
    }
}

qint64 scalarOf(Database& db, const QString& sql) {
    return db.isOpen() ? scalarOf(db.connection(), sql) : -1;
}

qint64 scalarInFile(const QString& file, const QString& sql) {
    try {
        SqliteConnection db(file, SqliteConnection::Mode::ReadOnly);
        return scalarOf(db, sql);
    } catch (const StoreError&) {
        return -1;
    }
}

QVariant valueOf(Database& db, const QString& sql) {
    try {
        Statement st = db.prepare(sql);
        return st.step() ? st.value(0) : QVariant(QStringLiteral("<no row>"));
    } catch (const StoreError& e) {
        return e.message();
    }
}

QStringList rowsOf(Database& db, const QString& sql) {
    try {
        Statement st = db.prepare(sql);
        QStringList out;
        while (st.step()) {
            QStringList cells;
            for (int i = 0; i < st.columnCount(); ++i)
                cells << (st.isNull(i) ? QStringLiteral("NULL") : st.value(i).toString());
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    } catch (const StoreError&) {
        return {QStringLiteral("SQL error")};
    }
}

FailureKind failureKindOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const StoreError& e) {
        return e.kind();
    }
    return FailureKind(-1);
}
