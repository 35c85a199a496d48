#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"

namespace morvale {
namespace {

int run(std::initializer_list<const char*> args, std::string& out, std::string& err) {
    std::vector<const char*> argv = {"morvale-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::ostringstream o, e;
    int status = runCli(static_cast<int>(argv.size()), argv.data(), o, e);
    out = o.str();
    err = e.str();
    return status;
}

TEST(CliBasicsTest, VersionAndHelp) {
    std::string out, err;
    EXPECT_EQ(run({"--version"}, out, err), 0);
    EXPECT_EQ(out, "morvale-cli 0.617\n");
    EXPECT_EQ(run({"--help"}, out, err), 0);
    EXPECT_NE(out.find("Usage"), std::string::npos);
}

TEST(CliBasicsTest, UnknownOptionIsAUsageError) {
    std::string out, err;
    EXPECT_EQ(run({"--frobnicate"}, out, err), 2);
    EXPECT_NE(err.find("Usage: morvale-cli"), std::string::npos);
}

}  // namespace
}  // namespace morvale
