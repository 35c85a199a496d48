// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QCommandLineParser>

#include "app/command_line.h"
#include "app/main_window.h"
#include "commands/session.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // No display name: the window system would add it to every window's title, and a
    // narrow box's title would be cut down to dots.
    QCoreApplication::setApplicationVersion(QStringLiteral(MORVALE_VERSION));
    QCommandLineParser arguments;
    arguments.setApplicationDescription(
        QStringLiteral("Takes HD DVD EVO and DVD VOB files apart into their streams."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QStringLiteral("file"),
                                    QStringLiteral("An EVO or VOB source, or a playlist, to open."),
                                    QStringLiteral("[file]"));
    arguments.process(application);

    morvale::Session session;
    morvale::TfMain fMain(session);
    fMain.show();
    morvale::openFromCommandLine(fMain, arguments.positionalArguments());
    return application.exec();
}
