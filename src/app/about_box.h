// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

namespace morvale {

// The text of the About box: the program's name and version, what it does, and the
// libraries it is built with (Qt, libjpeg-turbo) with their versions and licences.
QString aboutText();

// Shows the About box over `parent`, with a button for Qt's own About box.
void showAboutBox(QWidget* parent);

}  // namespace morvale
