// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

namespace morvale {

class TfMain;

// The file named on the command line (`morvale FILE`), chosen as if it had been dropped on
// the shown window: a relative path is taken from the current folder. The window's first
// activation (which reads the stored settings, among them the remembered folders) is done
// first, so the settings cannot undo the choice when the window manager activates the
// window later. Nothing happens without a file.
void openFromCommandLine(TfMain& window, const QStringList& files);

}  // namespace morvale
