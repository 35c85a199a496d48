// SPDX-License-Identifier: MIT
#pragma once

namespace morvale {

// Whether the standard error stream is a terminal (a status line can be redrawn on it).
bool stderrIsTerminal();

}  // namespace morvale
