// SPDX-License-Identifier: MIT
// A source that is still being written while it is read, and one whose size the system
// cannot tell. One short read moves every later block off the 4 MiB multiples; each crossing
// of one still shows the progress and lets events (a Cancel) in, and the run reads the whole
// feature. A failing size query ends the run as a read error, never as "Done.".

#include "feature_faults.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

struct Command {
    const char* name;
    void (*click)(Session&, Form&);
};

constexpr Command kReadEvo{"Read EVO", bCheckClick};
constexpr Command kDemux{"Demux", bDemuxClick};
constexpr Command kRebuild{"Rebuild", bRebuildClick};

class GrowingSource : public FeatureFaultTest {
  protected:
    // The MiB counts of the progress texts in order ("4/8 Mbytes..." gives 4).
    std::vector<int> progressMiBs() const {
        std::vector<int> mibs;
        for (const std::string& text : form.statusTexts) {
            const size_t slash = text.find("/8 Mbytes");
            if (text.rfind("1:", 0) != 0 || slash == std::string::npos) continue;
            const size_t start = text.find_last_of(": ", slash) + 1;
            mibs.push_back(std::stoi(text.substr(start, slash - start)));
        }
        return mibs;
    }

    // Runs the command while the first part seems to end at 1 MiB and 1,000 bytes once.
    void runWithShortRead(const Command& command) {
        form.clearLog();
        form.statusTexts.clear();
        InjectedFileFaults faults({.pausePath = firstPart(), .pauseAt = kMiB + 1000});
        command.click(session, form);
    }

    // What the command left of the first n chunks.
    void expectChunks(const Command& command, int n, const Bytes& rebuiltWhole) {
        if (command.click == bDemuxClick) expectDemuxedChunks(n);
        if (command.click == bRebuildClick) {
            EXPECT_EQ(readFileBytes(rebuilt()), prefix(rebuiltWhole, rebuiltSize(n)));
        }
        if (command.click == bCheckClick && n == kChunkCount) {
            EXPECT_THAT(lines(), Contains("4800 frames (0:03:20 s) count in video stream 0."));
        }
    }
};

TEST_F(GrowingSource, EveryCrossingOfAProgressPointShowsProgressAndLetsCancelIn) {
    scan();
    const Bytes rebuiltWhole = rebuildUndisturbed();
    form.answer = [](std::string_view) { return true; };
    // Read EVO last: stopped in the first part, it lists that part's streams.
    for (const Command& command : {kDemux, kRebuild, kReadEvo}) {
        SCOPED_TRACE(command.name);
        // Undisturbed: progress at 4 and 8 MiB of each part, everything read.
        form.onPump = nullptr;
        runWithShortRead(command);
        EXPECT_TRUE(form.errors().empty());
        EXPECT_EQ(progressMiBs(), (std::vector<int>{4, 8, 4, 8}));
        expectChunks(command, kChunkCount, rebuiltWhole);

        // Cancel at the first progress point: the run stops in the first part.
        form.onPump = [this] { bCancelClick(session, form); };
        runWithShortRead(command);
        EXPECT_TRUE(form.errors().empty());
        EXPECT_EQ(progressMiBs(), (std::vector<int>{4}));
        EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
        expectChunks(command, 1, rebuiltWhole);
    }
}

struct SizeFault {
    Command command;
    int sizesTold;  // the size queries that succeed before one fails
    const char* when;
    friend void PrintTo(const SizeFault& c, std::ostream* os) {
        *os << c.command.name << " " << c.when;
    }
};

const SizeFault kSizeFaults[] = {
    {kReadEvo, 0, "at_the_size_line"}, {kReadEvo, 4, "in_the_first_part"},
    {kDemux, 0, "at_the_size_line"},   {kDemux, 4, "in_the_first_part"},
    {kRebuild, 0, "at_the_size_line"}, {kRebuild, 4, "in_the_first_part"},
};

class UntoldSize : public FeatureFaultTest, public ::testing::WithParamInterface<SizeFault> {};

TEST_P(UntoldSize, EndsTheRunWithAReadError) {
    const SizeFault& c = GetParam();
    scan();
    {
        InjectedFileFaults faults({.sizePath = firstPart(), .sizeFailsAfter = c.sizesTold});
        c.command.click(session, form);
    }
    if (c.command.click == bCheckClick) {
        expectFailedScan("Stream read error", readErrorLine(firstPart()));
    } else {
        expectFailedWriteRun("Stream read error", readErrorLine(firstPart()));
    }
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    if (c.sizesTold == 0) {
        EXPECT_THAT(lines(),
                    ElementsAre("Opening file FEATURE_1.EVO", readErrorLine(firstPart()), ""));
    } else {
        EXPECT_THAT(lines(), Contains("File size: 8 Mbytes."));
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, UntoldSize, ::testing::ValuesIn(kSizeFaults),
                         [](const auto& info) {
                             std::string name = info.param.command.name;
                             name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
                             return name + "_" + info.param.when;
                         });

}  // namespace
}  // namespace morvale::testing
