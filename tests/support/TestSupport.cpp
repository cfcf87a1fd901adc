#include "TestSupport.h"

#include "Backup.h"
#include "Clock.h"

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
