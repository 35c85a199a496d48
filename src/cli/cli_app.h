#pragma once

#include <iosfwd>

namespace morvale {

// Runs morvale-cli with its arguments; returns the exit status.
int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace morvale
