// SPDX-License-Identifier: MIT
// The sample disc through morvale-cli with and without the file layer's threads: every line
// and every file the same, for Read EVO, Demux and Rebuild over both parts and Read XPL.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "generated_disc.h"
#include "support/file_fault_scopes.h"

namespace morvale::testing {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::map<std::string, std::vector<uint8_t>> files;
};

// Runs morvale-cli in this program with an empty output folder; then keeps what it wrote.
CliRun runIn(FileThreads mode, const std::vector<std::string>& args, const std::string& out) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    std::vector<const char*> argv = {"morvale-cli"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    std::ostringstream stdout, stderr;
    FileThreadsMode threads(mode);
    CliRun run{
        runCli(static_cast<int>(argv.size()), argv.data(), stdout, stderr), stdout.str(), {}};
    for (const auto& entry : std::filesystem::directory_iterator(out))
        run.files[entry.path().filename().string()] = readFileBytes(entry.path().string());
    return run;
}

TEST(SampleDiscThreadsTest, EveryCommandWritesAndSaysTheSameWithAndWithoutThreads) {
    Disc disc;
    ASSERT_EQ(disc.status, 0) << disc.report;
    const std::string out = disc.dir.file("out");
    const std::string source = disc.part(1);
    const std::vector<std::vector<std::string>> commands = {
        {"scan", "--no-fast-check", source},
        {"demux", "-o", out, source},
        {"rebuild", "-o", out, "--streams", "v0,a00,s00", source},
        {"xpl", "--tree", "--source", source, disc.playlist()},
    };
    for (const std::vector<std::string>& args : commands) {
        SCOPED_TRACE(args.front());
        const CliRun plain = runIn(FileThreads::None, args, out);
        const CliRun threaded = runIn(FileThreads::Background, args, out);
        EXPECT_EQ(plain.status, 0);
        EXPECT_EQ(plain.files.empty(), args.front() == "scan" || args.front() == "xpl");
        EXPECT_EQ(threaded.status, plain.status);
        EXPECT_EQ(threaded.out, plain.out);
        EXPECT_EQ(threaded.files.size(), plain.files.size());
        for (const auto& [name, bytes] : plain.files)
            EXPECT_TRUE(threaded.files.count(name) && threaded.files.at(name) == bytes) << name;
    }
}

}  // namespace
}  // namespace morvale::testing
