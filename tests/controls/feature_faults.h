// SPDX-License-Identifier: MIT
#pragma once

// A two-part feature for the tests of failures and Cancel: FEATURE_1.EVO and FEATURE_2.EVO of
// 8 MiB each, every part holding a chunk of packets at its start and another at 6 MiB (behind
// the progress point at 4 MiB, where events are pumped), zeros between. A run stopped at a
// progress point or by a failure at 5 MiB thus leaves outputs that hold exactly some of the
// chunks, in order.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "controls/command_buttons.h"
#include "commands/cancel_command.h"
#include "commands/demux_command.h"
#include "commands/read_evo.h"
#include "commands/rebuild_command.h"
#include "platform/file.h"
#include "support/file_fault_scopes.h"

namespace morvale::testing {

inline constexpr int64_t kMiB = 0x100000;
inline constexpr int64_t kPartSize = 8 * kMiB;
inline constexpr int64_t kLateChunkAt = 6 * kMiB;
inline constexpr uint32_t kTimeBase = 800000;  // the smallest first timestamp of the feature

inline Bytes prefix(const Bytes& bytes, size_t n) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(std::min(n, bytes.size())));
}

class FeatureFaultTest : public CommandTest {
  protected:
    // The chunks in file order: first part early, late; second part early, late.
    enum Chunk { kFirstEarly, kFirstLate, kSecondEarly, kSecondLate, kChunkCount };
    std::vector<FeaturePart> chunks;
    std::string out;

    FeatureFaultTest() {
        // 1,200 pictures of 1,000 bytes a chunk: the video output outgrows its buffer. The late
        // chunk of a part goes on where the early one ends.
        const FeatureOptions big = {.pictures = 1200, .pictureSize = 1000};
        const auto after = [](uint32_t base) {
            return static_cast<uint32_t>(base + 1200 * kFilmPictureTicks);
        };
        chunks = {
            featurePart(with(big, {.basePts = 900000})),
            featurePart(with(big, {.basePts = after(900000), .seed = 3, .systemHeader = false})),
            featurePart(with(big, {.secondAudio = true, .basePts = kTimeBase, .seed = 9})),
            featurePart(with(big, {.secondAudio = true,
                                   .basePts = after(kTimeBase),
                                   .seed = 12,
                                   .systemHeader = false}))};
        writePartFile(firstPart(), chunks[kFirstEarly], chunks[kFirstLate]);
        writePartFile(secondPart(), chunks[kSecondEarly], chunks[kSecondLate]);
        out = dir.file("out");
        EXPECT_EQ(::mkdir(out.c_str(), 0755), 0);
        form.setText(Edit::Workdir, out);
        form.setTicked(Option::FastCheck, false);
        choose(firstPart());
    }

    static FeatureOptions with(const FeatureOptions& size, FeatureOptions options) {
        options.pictures = size.pictures;
        options.pictureSize = size.pictureSize;
        return options;
    }

    static void writePartFile(const std::string& path, const FeaturePart& early,
                              const FeaturePart& late) {
        writeSparseFile(path, kPartSize, {{0, early.bytes}, {kLateChunkAt, late.bytes}});
    }

    std::string firstPart() const { return dir.file("FEATURE_1.EVO"); }
    std::string secondPart() const { return dir.file("FEATURE_2.EVO"); }

    // Read EVO over both parts, so the boxes are ticked as after a scan; log and status texts
    // cleared.
    void scan() {
        bCheckClick(session, form);
        ASSERT_TRUE(form.errors().empty());
        ASSERT_EQ(session.lastScan.subpictureTimeBase, kTimeBase);
        form.clearLog();
        form.statusTexts.clear();
    }

    // ---- What a Demux writes for the first `n` chunks ----

    std::string demuxed(const std::string& name) const { return out + "/FEATURE_1_2." + name; }
    static constexpr const char* kVideoOut = "VC-1.stream.0.mpv";
    static constexpr const char* kAudio0Out = "DD+.stream.00.mpa";
    static constexpr const char* kAudio1Out = "DD+.stream.01.mpa";
    static constexpr const char* kSubOut = "Subpicture.00.sup";

    Bytes video(int n) const {
        return joinedChunks(n, [](const FeaturePart& c) { return c.video; });
    }
    Bytes audio0(int n) const {
        return joinedChunks(n, [](const FeaturePart& c) { return c.audio0; });
    }
    Bytes audio1(int n) const {
        return joinedChunks(n, [](const FeaturePart& c) { return c.audio1; });
    }
    Bytes subpictures(int n) const {
        return joinedChunks(n, [](const FeaturePart& c) { return subpictureRecord(c, kTimeBase); });
    }

    // Every output holds the first n chunks' streams, nothing more, and is closed.
    void expectDemuxedChunks(int n) const {
        SCOPED_TRACE("outputs of " + std::to_string(n) + " chunks");
        EXPECT_EQ(readFileBytes(demuxed(kVideoOut)), video(n));
        EXPECT_EQ(readFileBytes(demuxed(kAudio0Out)), audio0(n));
        EXPECT_EQ(readFileBytes(demuxed(kAudio1Out)), audio1(n));
        EXPECT_EQ(readFileBytes(demuxed(kSubOut)), subpictures(n));
        for (const char* name : {kVideoOut, kAudio0Out, kAudio1Out, kSubOut})
            EXPECT_TRUE(closedAgain(demuxed(name))) << name;
    }

    // ---- Rebuild ----

    std::string rebuilt() const { return out + "/FEATURE_1_2.rebuilt.EVO"; }

    // The whole packs of the first n chunks: all of them are kept when every box is ticked.
    size_t rebuiltSize(int n) const {
        size_t packs = 0;
        for (int k = 0; k < n; ++k)
            packs += chunks[static_cast<size_t>(k)].bytes.size() / 2048;
        return packs * 2048;
    }

    // The rebuilt feature of an undisturbed run (which the tests then replace).
    Bytes rebuildUndisturbed() {
        bRebuildClick(session, form);
        EXPECT_TRUE(form.errors().empty());
        EXPECT_EQ(form.logLines().back(), "");
        form.clearLog();
        form.statusTexts.clear();
        Bytes whole = readFileBytes(rebuilt());
        EXPECT_EQ(whole.size(), rebuiltSize(kChunkCount));
        return whole;
    }

    // ---- The run as seen from the event pump ----

    std::string lastStatus(int panel) const {
        const std::string tag = std::to_string(panel) + ":";
        for (auto it = form.statusTexts.rbegin(); it != form.statusTexts.rend(); ++it) {
            if (it->rfind(tag, 0) == 0) return it->substr(tag.size());
        }
        return {};
    }
    // The run is at `mib` MiB of the part named `file` (its latest progress point).
    bool progressAt(const std::string& file, int mib) const {
        const std::string progress = lastStatus(1);  // a Rebuild's begins with the file name
        const std::string count = std::to_string(mib) + "/8 Mbytes";
        return lastStatus(0).find(file) != std::string::npos &&
               (progress.rfind(count, 0) == 0 || progress.find(" " + count) != std::string::npos);
    }

    // ---- Endings ----

    // The log's line of a failing read (an injected one: the disk reports an I/O error) and of
    // a write onto a full disk.
    static std::string readErrorLine(const std::string& path,
                                     const std::string& reason = "Input/output error") {
        return "Stream read error: " + reason + " (" + path + ")";
    }
    static std::string writeErrorLine(const std::string& path) {
        return "Stream write error: No space left on device (" + path + ")";
    }

    // The lines a run wrote before a file error ended it, and the message that closes them.
    Lines withError(Lines before) const {
        before.push_back(form.errors().back());
        before.push_back("");
        return before;
    }
    // Whatever failed: the message shown, the log closed by its line (a failing read or write
    // adds why and of which file), the status "Ready".
    void expectErrorEnding(const std::string& message, const std::string& logged = "") const {
        const Lines log = lines();
        EXPECT_THAT(log, ::testing::Not(::testing::Contains("Done.")));
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{logged.empty() ? message : logged, ""}));
        EXPECT_EQ(lastStatus(0), "Ready");
        EXPECT_EQ(lastStatus(1), "");
    }

    // A failed Demux or Rebuild: the message, Demux and Rebuild on again for the next try
    // (the last scan's streams still stand), Cancel off, the controls unlocked.
    void expectFailedWriteRun(const std::string& message, const std::string& logged = "") const {
        EXPECT_THAT(form.errors(), ::testing::ElementsAre(message));
        expectErrorEnding(message, logged);
        EXPECT_TRUE(form.isEnabled(Button::Demux));
        EXPECT_TRUE(form.isEnabled(Button::Rebuild));
        EXPECT_FALSE(form.isEnabled(Button::Cancel));
        EXPECT_FALSE(form.locked());
        EXPECT_FALSE(session.running);
        EXPECT_TRUE(closedAgain(firstPart()));
        EXPECT_TRUE(closedAgain(secondPart()));
    }

    // A failed Read EVO: the message, the boxes empty, Read EVO, Demux, Rebuild and Cancel
    // off until the source is chosen again.
    void expectFailedScan(const std::string& message, const std::string& logged = "") const {
        EXPECT_THAT(form.errors(), ::testing::ElementsAre(message));
        expectErrorEnding(message, logged);
        EXPECT_TRUE(listedCaptions().empty());
        for (Button button : {Button::Check, Button::Demux, Button::Rebuild, Button::Cancel})
            EXPECT_FALSE(form.isEnabled(button)) << static_cast<int>(button);
        EXPECT_FALSE(form.locked());
        EXPECT_FALSE(session.running);
        EXPECT_TRUE(closedAgain(firstPart()));
        EXPECT_TRUE(closedAgain(secondPart()));
    }

    // ---- The next command works ----

    void expectScanWorks() {
        SCOPED_TRACE("the next Read EVO");
        choose(firstPart());
        ASSERT_TRUE(form.isEnabled(Button::Check));
        const size_t errors = form.errors().size();
        form.clearLog();
        bCheckClick(session, form);
        EXPECT_EQ(form.errors().size(), errors);
        EXPECT_THAT(lines(), ::testing::Contains("Continue on FEATURE_2.EVO"));
        const Lines log = lines();
        ASSERT_GE(log.size(), 4u);
        EXPECT_EQ(log[log.size() - 4], "Done.");
        EXPECT_EQ(log[log.size() - 2], "4800 frames (0:03:20 s) count in video stream 0.");
        EXPECT_THAT(listedCaptions(), ::testing::ElementsAre("VC-1.stream.0", "DD+.stream.00",
                                                             "DD+.stream.01", "Subpicture.00"));
        EXPECT_TRUE(form.isEnabled(Button::Demux));
        EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    }

    void expectDemuxWorks() {
        SCOPED_TRACE("the next Demux");
        const size_t errors = form.errors().size();
        form.clearLog();
        bDemuxClick(session, form);
        EXPECT_EQ(form.errors().size(), errors);
        const Lines log = lines();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[log.size() - 3], "Done.");
        EXPECT_EQ(log.back(), "4800 frames (0:03:20 s) count in video stream 0.");
        expectDemuxedChunks(kChunkCount);
        EXPECT_TRUE(form.isEnabled(Button::Demux));
    }

    void expectRebuildWorks(const Bytes& whole) {
        SCOPED_TRACE("the next Rebuild");
        const size_t errors = form.errors().size();
        form.clearLog();
        bRebuildClick(session, form);
        EXPECT_EQ(form.errors().size(), errors);
        EXPECT_EQ(lines()[lines().size() - 2], "Done.");
        EXPECT_EQ(readFileBytes(rebuilt()), whole);
        EXPECT_TRUE(closedAgain(rebuilt()));
    }

  private:
    template <typename Field>
    Bytes joinedChunks(int n, Field field) const {
        Bytes joined;
        for (int k = 0; k < n; ++k) {
            const Bytes piece = field(chunks[static_cast<size_t>(k)]);
            joined.insert(joined.end(), piece.begin(), piece.end());
        }
        return joined;
    }
};

}  // namespace morvale::testing
