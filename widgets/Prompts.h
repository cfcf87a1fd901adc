#pragma once

#include <QString>

enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptButtons { Ok, OkCancel, YesNo };
enum class PromptAnswer { Ok, Cancel, Yes, No };

// Every message box and input box of the program goes through the current
// Prompts, so that tests can answer them from a script.
class Prompts {
public:
    virtual ~Prompts() = default;

    virtual PromptAnswer message(const QString& caption, const QString& text, PromptIcon icon,
                                 PromptButtons buttons, PromptAnswer defaultAnswer) = 0;
    // Returns false on Cancel; `text` holds the initial text and the answer.
    virtual bool inputText(const QString& caption, const QString& prompt, QString* text) = 0;

    static Prompts& current();
    // Installs a replacement (not owned); nullptr restores the message boxes.
    static void install(Prompts* prompts);

    // The error box: stop icon, OK, captioned with the application title;
    // a "." is added when the text's last character orders after ".".
    static void error(const QString& text);
    static QString errorText(const QString& text);
    static void warning(const QString& text);
    static void information(const QString& text);
};

// The real message boxes.
class WidgetPrompts : public Prompts {
public:
    PromptAnswer message(const QString& caption, const QString& text, PromptIcon icon,
                         PromptButtons buttons, PromptAnswer defaultAnswer) override;
    bool inputText(const QString& caption, const QString& prompt, QString* text) override;
};
