// SPDX-License-Identifier: MIT
#pragma once

// Helpers shared by the window's Qt tests: a private settings store, showing the window,
// answering modal boxes and dialogs from a timer, and dropping files.

#include <functional>
#include <memory>
#include <string>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "app/main_window.h"
#include "app/settings_store.h"
#include "commands/session.h"
#include "support/temp_dir.h"

namespace morvale::apptest {

// Points the per-user settings store into a temporary folder for as long as it lives, so
// no test reads or writes the user's real settings.
class TemporarySettings {
  public:
    TemporarySettings() { usePath(root()); }
    ~TemporarySettings() { usePath(QDir::tempPath() + QStringLiteral("/morvale-no-settings")); }

    QString root() const { return QString::fromStdString(dir_.path()); }
    QString file() const {
        return root() + QLatin1String(kSettingsOrganisation) + QLatin1Char('/') +
               QLatin1String(kSettingsApplication) + QStringLiteral(".conf");
    }
    void clear() const { QFile::remove(file()); }
    // The store as the window sees it, for preparing and checking values.
    std::unique_ptr<QSettings> open() const {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QLatin1String(kSettingsOrganisation),
                                           QLatin1String(kSettingsApplication));
    }
    static void usePath(const QString& path) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    }

  private:
    testing::TempDir dir_;
};

// A window over its own session.
struct WindowUnderTest {
    Session session;
    TfMain window{session};

    // Shows the window and waits for its first activation (which reads the settings).
    bool show() {
        window.show();
        return QTest::qWaitForWindowActive(&window);
    }
};

// Another window takes the focus and hands it back: the main window is activated again.
inline bool reactivate(QWidget& window) {
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.show();
    other.activateWindow();
    if (!QTest::qWaitForWindowActive(&other)) return false;
    other.hide();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// Hands the next modal window (message box or dialog) to `handle`, which must close it.
// Polls, since the modal window appears only once its exec() has started; gives up after
// five seconds. Deleting the returned watcher stops it earlier.
inline QPointer<QTimer> onNextModal(std::function<void(QWidget*)> handle) {
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, handle] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr && ++*tries < 500) return;
        timer->stop();
        timer->deleteLater();
        if (modal != nullptr) handle(modal);
    });
    timer->start(10);
    return timer;
}

// Hands the next message box to `handle`, which must close it; any other modal window
// (a dialog the test did not expect) is closed unanswered.
inline QPointer<QTimer> onNextMessageBox(std::function<void(QMessageBox*)> handle) {
    return onNextModal([handle](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            handle(box);
        } else {
            modal->close();
        }
    });
}

inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// Drops files on `target` as the desktop would: a drag entering, then the drop. Returns
// whether the drag was accepted.
inline bool dropFiles(QWidget* target, const QStringList& paths) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    mime.setUrls(urls);
    const QPointF point(5, 5);
    QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted();
}

}  // namespace morvale::apptest
