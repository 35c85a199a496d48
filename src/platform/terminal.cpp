// SPDX-License-Identifier: MIT
#include "platform/terminal.h"

#include <unistd.h>

namespace morvale {

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace morvale
