#include "MainUnt.h"
#include "ReportCommand.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QTextStream>

int main(int argc, char* argv[]) {
    // A report made on a schedule shows no window and needs no display.
    const bool report = ReportCommand::wanted(argc, argv);
    if (report && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tombrix"));
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    // The program directory: the data directory and base of every path.
    const QString programDir =
        QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
    if (report)
        return ReportCommand::main(app.arguments().mid(1), programDir);
    if (app.arguments().contains(QStringLiteral("--help"))) {
        QTextStream(stdout) << "Utilizare:\n  tombrix\n      deschide registrul\n"
                            << ReportCommand::helpText();
        return 0;
    }
    TMainForm form(programDir);
    form.show();
    // Closed while the start-up version check was still waiting: the event
    // loop would run on with no window.
    if (!form.isVisible())
        return 0;
    return app.exec();
}
