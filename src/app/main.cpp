#include <QApplication>

#include "app/main_window.h"
#include "commands/session.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QGuiApplication::setApplicationDisplayName(QLatin1String(morvale::kApplicationTitle));
    morvale::Session session;
    morvale::TfMain fMain(session);
    fMain.show();
    return application.exec();
}
