#include "Prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {
Prompts* g_installed = nullptr;

QMessageBox::StandardButton toButton(PromptAnswer a) {
    switch (a) {
    case PromptAnswer::Ok:
        return QMessageBox::Ok;
    case PromptAnswer::Cancel:
        return QMessageBox::Cancel;
    case PromptAnswer::Yes:
        return QMessageBox::Yes;
    case PromptAnswer::No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}
} // namespace

Prompts& Prompts::current() {
    static WidgetPrompts real;
    return g_installed ? *g_installed : real;
}

void Prompts::install(Prompts* prompts) {
    g_installed = prompts;
}

QString Prompts::errorText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void Prompts::error(const QString& text) {
    current().message(QApplication::applicationName(), errorText(text), PromptIcon::Error,
                      PromptButtons::Ok, PromptAnswer::Ok);
}

void Prompts::warning(const QString& text) {
    current().message(QApplication::applicationName(), text, PromptIcon::Warning, PromptButtons::Ok,
                      PromptAnswer::Ok);
}

void Prompts::information(const QString& text) {
    current().message(QApplication::applicationName(), text, PromptIcon::Information,
                      PromptButtons::Ok, PromptAnswer::Ok);
}

PromptAnswer WidgetPrompts::message(const QString& caption, const QString& text, PromptIcon icon,
                                    PromptButtons buttons, PromptAnswer defaultAnswer) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case PromptIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case PromptIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case PromptIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case PromptIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case PromptIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case PromptButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case PromptButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Renunta"));
        break;
    case PromptButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Da"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&Nu"));
        break;
    }
    box.setDefaultButton(toButton(defaultAnswer));
    switch (box.exec()) {
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    case QMessageBox::Cancel:
        return PromptAnswer::Cancel;
    case QMessageBox::Ok:
        return PromptAnswer::Ok;
    default: // closed with Esc or the close box
        return buttons == PromptButtons::YesNo      ? PromptAnswer::No
               : buttons == PromptButtons::OkCancel ? PromptAnswer::Cancel
                                                    : PromptAnswer::Ok;
    }
}

bool WidgetPrompts::inputText(const QString& caption, const QString& prompt, QString* text) {
    QInputDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(caption);
    dlg.setLabelText(prompt);
    dlg.setTextValue(*text);
    dlg.setOkButtonText(QStringLiteral("OK"));
    dlg.setCancelButtonText(QStringLiteral("&Renunta"));
    if (dlg.exec() != QDialog::Accepted)
        return false;
    *text = dlg.textValue();
    return true;
}
