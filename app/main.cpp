#include "MainUnt.h"
#include "ProgramFont.h"

#include <QApplication>
#include <QDir>
#include <QFont>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tombrix"));
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QApplication::setFont(ProgramFont::font());
    // The program directory: the data directory and base of every path.
    const QString programDir =
        QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
    TMainForm form(programDir);
    form.show();
    // Closed while the start-up version check was still waiting: the event
    // loop would run on with no window.
    if (!form.isVisible())
        return 0;
    return app.exec();
}
