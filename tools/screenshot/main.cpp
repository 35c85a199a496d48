// morvale-screenshot: drives the Morvale window as a user would and saves what it shows.
// It opens the window on a source file as `morvale FILE` does, at the size it opens at or
// at the size given, presses Read EVO, Read XPL, Demux and Make MKV in turn, and saves the
// window with its frame as it opens (at the size it picks: PREFIX-first-start.png), after
// Read EVO, after Read XPL and after Make MKV as PREFIX-read-evo.png, PREFIX-read-xpl.png and
// PREFIX-make-mkv.png. Demux and Make MKV write
// into the folder "out" beside the source's folder (emptied first); the run fails when a
// command does not end with "Done.". scripts/screenshot.sh runs it under Xvfb with openbox on the sample disc for the
// README.
//
//   morvale-screenshot SOURCE PREFIX [WIDTHxHEIGHT]

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>

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

// Points the per-user settings store into `folder`, so the pictures show the program's
// defaults and not whatever the user stored, and nothing is written to the user's store.
void useSettingsIn(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

// What the display shows of the window with the window manager's frame around it; drawn
// by the widgets themselves on a platform that has no screen to read back (offscreen).
QPixmap picture(morvale::TfMain& window) {
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        if (QScreen* screen = window.screen()) {
            const QRect frame = window.frameGeometry();
            QPixmap shot =
                screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
            if (!shot.isNull()) return shot;
        }
    }
    return window.grab();
}

std::optional<QSize> sizeArgument(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) return std::nullopt;
    const QSize size(parts[0].toInt(), parts[1].toInt());
    if (!size.isValid() || size.isEmpty()) return std::nullopt;
    return size;
}

class Driver {
  public:
    Driver(morvale::TfMain& window, QTextStream& err) : window_(window), err_(err) {}

    // Clicks the button and lets the command run to its end; false unless it logged "Done.".
    bool press(QPushButton* button, const char* name) {
        if (!button->isEnabled()) {
            err_ << "morvale-screenshot: " << name << " cannot be pressed\n";
            return false;
        }
        window_.bClear->click();
        button->click();  // the whole command runs on this thread, as the handler does
        settle(300);
        if (window_.logLines().contains(QStringLiteral("Done."))) return true;
        err_ << "morvale-screenshot: " << name << " did not end with \"Done.\":\n"
             << window_.logLines().join(QLatin1Char('\n')) << "\n";
        return false;
    }

    bool save(const QString& path) {
        if (picture(window_).save(path, "PNG")) {
            QTextStream(stdout) << "Saved " << path << "\n";
            return true;
        }
        err_ << "morvale-screenshot: cannot write " << path << "\n";
        return false;
    }

  private:
    morvale::TfMain& window_;
    QTextStream& err_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    QTextStream err(stderr);
    if (arguments.size() < 2 || arguments.size() > 3) {
        err << "Usage: morvale-screenshot SOURCE PREFIX [WIDTHxHEIGHT]\n";
        return 2;
    }
    std::optional<QSize> size;
    if (arguments.size() == 3) {
        size = sizeArgument(arguments[2]);
        if (!size) {
            err << "morvale-screenshot: the size must read WIDTHxHEIGHT\n";
            return 2;
        }
    }
    QTemporaryDir settings;
    // Beside the disc's folders, so the pictures show the same output path on every run.
    QDir output(QFileInfo(arguments[0]).absoluteDir().absoluteFilePath(QStringLiteral("../out")));
    output.removeRecursively();
    if (!settings.isValid() || !output.mkpath(QStringLiteral("."))) {
        err << "morvale-screenshot: cannot make the settings and output folders\n";
        return 1;
    }
    useSettingsIn(settings.path());

    morvale::Session session;
    morvale::TfMain window(session);
    window.show();
    morvale::openFromCommandLine(window, {arguments[0]});
    settle(500);
    Driver driver(window, err);
    // As a first start opens: the size it picks, the source named on the command line.
    if (!size && !driver.save(arguments[1] + QStringLiteral("-first-start.png"))) return 1;
    if (size) {
        window.resize(*size - (window.frameGeometry().size() - window.size()));
        settle(300);
    }
    window.eWorkdir->setText(QDir::toNativeSeparators(QDir::cleanPath(output.path())));

    const QString prefix = arguments[1];
    const bool done = driver.press(window.bCheck, "Read EVO") &&
                      driver.save(prefix + QStringLiteral("-read-evo.png")) &&
                      driver.press(window.bReadXPL, "Read XPL") &&
                      driver.save(prefix + QStringLiteral("-read-xpl.png")) &&
                      driver.press(window.bDemux, "Demux");
    if (!done) return 1;
    if (output.entryList(QDir::Files).isEmpty()) {
        err << "morvale-screenshot: Demux wrote no file\n";
        return 1;
    }
    return driver.press(window.bMakeMkv, "Make MKV") &&
                   driver.save(prefix + QStringLiteral("-make-mkv.png"))
               ? 0
               : 1;
}
