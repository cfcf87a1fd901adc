#include "CommandLine.h"
#include "MainUnt.h"
#include "ProgramFont.h"
#include "QtTranslation.h"
#include "ReportCommand.h"

#include "PgConnection.h"
#include "StoreError.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.contains(QStringLiteral("--help"))) {
        QTextStream(stdout) << "Utilizare:\n  tombrix\n      deschide registrul\n"
                            << "  tombrix --import DIR [--yes]\n"
                            << "      citeste tabelele vechi din DIR si arata ce s-ar importa;\n"
                            << "      cu --yes le importa, inlocuind datele din registru\n"
                            << "  tombrix --restore AAAALLZZ [--yes]\n"
                            << "      arata ce ar face restaurarea copiei zilnice din acea zi;\n"
                            << "      cu --yes o restaureaza, pastrand intai registrul de acum\n"
                            << "  tombrix --server CONNINFO\n"
                            << "      deschide registrul de pe serverul PostgreSQL dat (fara el:\n"
                            << "      cel din fisierul Tombrix.conn, altfel fisierul local)\n"
                            << "  tombrix --to-server CONNINFO\n"
                            << "      muta registrul din fisierul local intr-o baza de date goala\n"
                            << "      de pe serverul PostgreSQL dat si scrie Tombrix.conn (fara\n"
                            << "      parola); fisierul local ramane neschimbat\n"
                            << ReportCommand::helpText();
        return 0;
    }
    // A report made on a schedule shows no window and needs no display.
    const bool report = ReportCommand::wanted(argc, argv);
    if (report && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!report && CommandLine::wanted(args)) {
        // Work for the command line needs no window (nor a display).
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tombrix"));
        QTextStream out(stdout), err(stderr);
        return CommandLine::run(QCoreApplication::arguments(),
                                QDir(QCoreApplication::applicationDirPath()).absolutePath() +
                                    QLatin1Char('/'),
                                out, err);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tombrix"));
    QtTranslation::install();
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QApplication::setFont(ProgramFont::font());
    // The program directory: the data directory and base of every path.
    const QString programDir =
        QDir(QCoreApplication::applicationDirPath()).absolutePath() + QLatin1Char('/');
    if (report)
        return ReportCommand::main(app.arguments().mid(1), programDir);
    QString server;
    try {
        server = CommandLine::chosenServer(CommandLine::serverOption(args), programDir);
    } catch (const StoreError& e) {
        QMessageBox::critical(nullptr, QApplication::applicationName(), e.message());
        return 1;
    }
    // Only the window asks: a list made on a schedule has no one to ask.
    PgConnection::setPasswordPrompt([](const QString& where, const QString& user, bool again) {
        bool ok = false;
        const QString password = QInputDialog::getText(
            nullptr, QStringLiteral("Parola pentru server"),
            (again ? QStringLiteral("Parola nu a fost buna. ") : QString()) +
                QStringLiteral("Parola utilizatorului %1 pentru baza de date %2:").arg(user, where),
            QLineEdit::Password, QString(), &ok);
        return ok ? password : QString();
    });
    TMainForm form(programDir, server);
    form.show();
    // Closed while the start-up version check was still waiting: the event
    // loop would run on with no window.
    if (!form.isVisible())
        return 0;
    return app.exec();
}
