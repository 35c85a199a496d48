// SPDX-License-Identifier: MIT
#include "app/folder_launcher.h"

#include <QProcess>

namespace morvale {

namespace {

// The launcher's own last word on its error output, or its exit status.
QString launcherComplaint(QProcess& launcher, int exitCode) {
    const QStringList lines =
        QString::fromLocal8Bit(launcher.readAllStandardError()).split(QLatin1Char('\n'),
                                                                      Qt::SkipEmptyParts);
    if (!lines.isEmpty()) return lines.constLast().trimmed();
    return QStringLiteral("%1 ended with status %2").arg(QLatin1String(kFolderLauncher)).arg(exitCode);
}

}  // namespace

void openFolder(const QString& folder, const std::function<void(const QString& why)>& failed) {
    // No parent: the window's end must not stop it.
    auto* launcher = new QProcess;
    launcher->setProcessChannelMode(QProcess::SeparateChannels);
    launcher->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(launcher, &QProcess::errorOccurred, launcher,
                     [launcher, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         failed(QStringLiteral("%1 is not installed")
                                    .arg(QLatin1String(kFolderLauncher)));
                         launcher->deleteLater();
                     });
    QObject::connect(launcher, &QProcess::finished, launcher,
                     [launcher, failed](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0) {
                             failed(launcherComplaint(*launcher, exitCode));
                         }
                         launcher->deleteLater();
                     });
    launcher->start(QLatin1String(kFolderLauncher), {folder});
}

}  // namespace morvale
