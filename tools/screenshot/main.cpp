// morvale-screenshot: opens the Morvale window on a source file as `morvale FILE` does,
// presses Read EVO, lets the run finish and saves the window as it now shows as a PNG.
// scripts/screenshot.sh runs it under Xvfb on the sample disc for the README.
//
//   morvale-screenshot SOURCE OUTPUT.png [WIDTHxHEIGHT]

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWindow>

#include "app/command_line.h"
#include "app/main_window.h"
#include "commands/session.h"

namespace {

// Lets the window system deliver what is pending (mapping, activation, painting).
void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// Points the per-user settings store into `folder`, so the picture shows the program's
// defaults and not whatever the user stored, and nothing is written to the user's store.
void useSettingsIn(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

// What the display shows of the window; drawn by the widgets themselves on a platform
// that has no screen to read back (offscreen).
QPixmap picture(morvale::TfMain& window) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        if (QScreen* screen = window.screen()) {
            QPixmap shot = screen->grabWindow(window.winId());
            if (!shot.isNull()) return shot;
        }
    }
    return window.grab();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QGuiApplication::setApplicationDisplayName(QLatin1String(morvale::kApplicationTitle));
    const QStringList arguments = QApplication::arguments().mid(1);
    QTextStream err(stderr);
    if (arguments.size() < 2 || arguments.size() > 3) {
        err << "Usage: morvale-screenshot SOURCE OUTPUT.png [WIDTHxHEIGHT]\n";
        return 2;
    }
    QSize size;
    if (arguments.size() == 3) {
        const QStringList parts = arguments[2].split(QLatin1Char('x'));
        if (parts.size() == 2) size = QSize(parts[0].toInt(), parts[1].toInt());
        if (!size.isValid() || size.isEmpty()) {
            err << "morvale-screenshot: the size must read WIDTHxHEIGHT\n";
            return 2;
        }
    }
    QTemporaryDir settings;
    if (!settings.isValid()) {
        err << "morvale-screenshot: cannot make a temporary folder\n";
        return 1;
    }
    useSettingsIn(settings.path());

    morvale::Session session;
    morvale::TfMain window(session);
    window.show();
    morvale::openFromCommandLine(window, {arguments[0]});
    if (size.isValid()) window.resize(size);
    settle(500);
    if (!window.bCheck->isEnabled()) {
        err << "morvale-screenshot: Read EVO cannot be pressed for " << arguments[0] << "\n";
        return 1;
    }
    // The click runs the whole Read EVO on this thread, as the button's handler does.
    window.bCheck->click();
    settle(500);
    if (!picture(window).save(arguments[1], "PNG")) {
        err << "morvale-screenshot: cannot write " << arguments[1] << "\n";
        return 1;
    }
    QTextStream(stdout) << "Window after Read EVO of " << arguments[0] << " saved to "
                        << arguments[1] << "\n";
    return 0;
}
