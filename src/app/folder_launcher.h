// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QString>

namespace morvale {

// The desktop's launcher of folders: xdg-open, which hands the folder to the file manager
// the desktop has registered.
inline constexpr char kFolderLauncher[] = "xdg-open";

// Opens `folder` in the file manager. When no launcher answers (xdg-open is missing, or
// ends without having opened it: no file manager registered), `failed` is called later,
// on the window's thread, with why in words. A launcher still running when the program
// ends is left running (it may be the file manager itself).
void openFolder(const QString& folder, const std::function<void(const QString& why)>& failed);

}  // namespace morvale
