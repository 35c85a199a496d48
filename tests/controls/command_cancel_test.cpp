// SPDX-License-Identifier: MIT
// Cancel at each phase of Read EVO, Demux and Rebuild over a two-part feature: in the middle
// of the first part, at its end before the second, and in the middle of the second part. The
// run ends normally with a line that says it was stopped, "Done." and without picture counts, the
// files keep exactly what was read before the stop, and a cancel left from one run does not stop
// the next before its first block.

#include "feature_faults.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

// Where Cancel is clicked (the progress point of a part) and how many chunks the run has read
// by then.
struct Phase {
    const char* part;
    int mib;
    int chunksRead;
};

constexpr Phase kPhases[] = {
    {"FEATURE_1.EVO", 4, 1},  // in the middle of the first part
    {"FEATURE_1.EVO", 8, 2},  // at the end of the first part, before the second
    {"FEATURE_2.EVO", 4, 3},  // in the middle of the second part
};

class CommandCancel : public FeatureFaultTest {
  protected:
    // Clicks Cancel once, at the phase's progress point.
    void cancelAt(const Phase& phase) {
        clicks_ = 0;
        form.onPump = [this, phase] {
            if (clicks_ > 0 || !progressAt(phase.part, phase.mib)) return;
            ++clicks_;
            EXPECT_TRUE(form.isEnabled(Button::Cancel));
            bCancelClick(session, form);
        };
    }
    int clicks() const { return clicks_; }

    // The ending of a cancelled run: the line that says so, "Done." and an empty line last (no
    // picture count), the second part read only when the stop came in it, and Cancel off.
    void expectCancelledEnding(const Phase& phase, const char* stoppedLine) {
        EXPECT_EQ(clicks_, 1);
        EXPECT_EQ(form.errors().size(), 0u);
        const Lines log = lines();
        ASSERT_GE(log.size(), 3u);
        EXPECT_THAT(Lines(log.end() - 3, log.end()), ElementsAre(stoppedLine, "Done.", ""));
        if (phase.chunksRead > 2) {
            EXPECT_THAT(log, Contains("Continue on FEATURE_2.EVO"));
        } else {
            EXPECT_THAT(log, Not(Contains("Continue on FEATURE_2.EVO")));
        }
        EXPECT_FALSE(form.isEnabled(Button::Cancel));
        EXPECT_FALSE(form.locked());
        EXPECT_TRUE(closedAgain(firstPart()));
        EXPECT_TRUE(closedAgain(secondPart()));
    }

  private:
    int clicks_ = 0;
};

std::string traceOf(const Phase& phase) {
    return std::string(phase.part) + " at " + std::to_string(phase.mib) + " MiB";
}

TEST_F(CommandCancel, ReadEvoAtEachPhase) {
    for (const Phase& phase : kPhases) {
        SCOPED_TRACE(traceOf(phase));
        form.clearLog();
        cancelAt(phase);
        bCheckClick(session, form);
        expectCancelledEnding(phase, "Stopped by Cancel.");
        EXPECT_EQ(session.lastScan.pictures[0], 0);  // counts of a stopped scan are dropped
        EXPECT_TRUE(form.questions().empty());        // a scan stops without a question
        // The lists show the streams of the part the scan stopped in.
        if (phase.chunksRead > 2) {
            EXPECT_THAT(listedCaptions(), ElementsAre("VC-1.stream.0", "DD+.stream.00",
                                                      "DD+.stream.01", "Subpicture.00"));
        } else {
            EXPECT_THAT(listedCaptions(),
                        ElementsAre("VC-1.stream.0", "DD+.stream.00", "Subpicture.00"));
        }
        EXPECT_TRUE(form.isEnabled(Button::Check));
        EXPECT_TRUE(form.isEnabled(Button::Demux));
    }
    ASSERT_TRUE(session.control.cancelRequested);  // left set by the last run
    form.onPump = nullptr;
    expectScanWorks();
}

TEST_F(CommandCancel, DemuxAtEachPhase) {
    scan();
    form.answer = [](std::string_view) { return true; };
    size_t questions = 0;
    for (const Phase& phase : kPhases) {
        SCOPED_TRACE(traceOf(phase));
        form.clearLog();
        cancelAt(phase);
        bDemuxClick(session, form);
        expectCancelledEnding(phase,
                              "Stopped by Cancel: the output files hold what was written so far.");
        for (const std::string& line : form.logLines())
            EXPECT_EQ(line.find(" frames ("), std::string::npos) << "counts of a stopped run";
        EXPECT_EQ(form.questions().size(), ++questions);
        expectDemuxedChunks(phase.chunksRead);
        EXPECT_TRUE(form.isEnabled(Button::Demux));
        EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    }
    ASSERT_TRUE(session.control.cancelRequested);
    form.onPump = nullptr;
    expectDemuxWorks();
    EXPECT_EQ(form.questions().size(), questions);
}

TEST_F(CommandCancel, RebuildAtEachPhase) {
    scan();
    const Bytes whole = rebuildUndisturbed();
    form.answer = [](std::string_view) { return true; };
    for (const Phase& phase : kPhases) {
        SCOPED_TRACE(traceOf(phase));
        form.clearLog();
        cancelAt(phase);
        bRebuildClick(session, form);
        expectCancelledEnding(phase,
                              "Stopped by Cancel: the output files hold what was written so far.");
        EXPECT_EQ(readFileBytes(rebuilt()), prefix(whole, rebuiltSize(phase.chunksRead)));
        EXPECT_TRUE(closedAgain(rebuilt()));
        EXPECT_TRUE(form.isEnabled(Button::Demux));
        EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    }
    ASSERT_TRUE(session.control.cancelRequested);
    form.onPump = nullptr;
    expectRebuildWorks(whole);
}

}  // namespace
}  // namespace morvale::testing
