// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace morvale {

// A hidden name, new with each call, for a file or folder this program makes beside `name`
// and later renames to it: "." + the name without its extension + ".morvale-" + six random
// letters and digits + the extension (".FEATURE_1.morvale-x3Kq9Z.mkv"); the stem is cut, at
// the start of a UTF-8 character, to keep the whole within the system's 255 bytes. The
// caller creates it with O_EXCL and asks again when the name is taken.
std::string hiddenNameBeside(std::string_view name);

}  // namespace morvale
