// SPDX-License-Identifier: MIT
#include <iostream>

#include "cli/cli_app.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
    return morvale::runCli(argc, argv, std::cout, std::cerr, morvale::stderrIsTerminal());
}
