// SPDX-License-Identifier: MIT
#include "app/command_line.h"

#include <QFileInfo>

#include "app/main_window.h"

namespace morvale {

void openFromCommandLine(TfMain& window, const QStringList& files) {
    if (files.isEmpty()) return;
    window.FormActivate();
    window.WMDropFiles({QFileInfo(files.constFirst()).absoluteFilePath()});
}

}  // namespace morvale
