// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "cli/cli_app.h"

namespace morvale {
namespace {

int run(const std::vector<const char*>& args, std::string& out, std::string& err) {
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
    const std::vector<std::vector<const char*>> wrong = {
        {"--frobnicate"},
        {"demux", "--sub-format", "gif", "x.evo"},  // not a subpicture format
        {"scan", "--sub-format", "pgs", "x.evo"},   // only Demux writes subpictures
    };
    for (const auto& args : wrong) {
        std::string out, err;
        EXPECT_EQ(run(args, out, err), 2) << args.front();
        EXPECT_NE(err.find("Usage: morvale-cli"), std::string::npos);
    }
    // Each format's name is taken: the run goes on to the missing source.
    for (const char* format : {"sp", "pgs", "vobsub"}) {
        std::string out, err;
        EXPECT_EQ(run({"demux", "--sub-format", format, "/nonexistent/x.evo"}, out, err), 1)
            << format << err;
    }
}

}  // namespace
}  // namespace morvale
