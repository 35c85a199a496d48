// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace morvale {

// The file a user typed or pasted into a path edit, as a full path: surrounding blanks
// and one pair of quotes go, a file:// address (as file managers copy them) becomes its
// local path, a leading "~/" the home folder, and a relative path is taken from the
// current folder, as on the command line.
QString pathFromTyping(const QString& text);

}  // namespace morvale
