#include <unistd.h>

#include <iostream>

#include "cli/cli_app.h"

int main(int argc, char** argv) {
    return morvale::runCli(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
