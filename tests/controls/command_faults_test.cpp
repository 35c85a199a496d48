// SPDX-License-Identifier: MIT
// Read EVO, Demux and Rebuild meeting failing files: a source that cannot be read (permissions,
// replaced by a folder, held by another program), a second part that is held, unreadable or
// gone before the continuation, an output folder that refuses files, a disk that fills up and
// a read error in the middle of a part. Each ends with its message, no "Done.", the buttons in
// their stated states, every file closed with what was written before the failure, and the
// next command working.

#include <csignal>
#include <filesystem>

#include "feature_faults.h"

namespace morvale::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

std::string cannotOpen(const std::string& path, const char* reason) {
    return "Cannot open file \"" + path + "\". " + reason;
}

std::string cannotCreate(const std::string& path, const char* reason) {
    return "Cannot create file \"" + path + "\". " + reason;
}

class CommandFaults : public FeatureFaultTest {
  protected:
    // Root reads and writes whatever the permission bits say; PermissionsApply makes them
    // hold. Everything the command must still reach is opened to everyone.
    void openFoldersToEveryone() {
        openToEveryone(dir.path());
        openToEveryone(out);
    }

    Lines creatingLines() const {
        Lines created;
        for (const char* name : {kVideoOut, kAudio0Out, kAudio1Out, kSubOut})
            created.push_back("Creating " + demuxed(name));
        return created;
    }
};

#define SKIP_UNLESS_PERMISSIONS_APPLY(scope) \
    if (!(scope).active()) GTEST_SKIP() << "root may not change its file-system user here"

// ---- Read EVO ----

TEST_F(CommandFaults, ReadEvoOfAnUnreadableSource) {
    openFoldersToEveryone();
    ASSERT_EQ(::chmod(firstPart().c_str(), 0), 0);
    {
        PermissionsApply permissions;
        SKIP_UNLESS_PERMISSIONS_APPLY(permissions);
        bCheckClick(session, form);
    }
    expectFailedScan(cannotOpen(firstPart(), "Permission denied"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO"}));

    ASSERT_EQ(::chmod(firstPart().c_str(), 0644), 0);
    expectScanWorks();
}

TEST_F(CommandFaults, ReadEvoOfASourceReplacedAfterItWasChosen) {
    // By a folder: it cannot be opened.
    std::filesystem::remove(firstPart());
    std::filesystem::create_directory(firstPart());
    bCheckClick(session, form);
    expectFailedScan(cannotOpen(firstPart(), "Is a directory"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO"}));

    // By another file: the file there now is read.
    std::filesystem::remove(firstPart());
    writePart(firstPart(), featurePart({.secondAudio = true, .seed = 30}));
    form.setTicked(Option::Continue, false);
    choose(firstPart());
    form.clearLog();
    bCheckClick(session, form);
    EXPECT_EQ(form.errors().size(), 1u);
    EXPECT_EQ(lines()[1], "File size: 0 Mbytes.");
    EXPECT_THAT(listedCaptions(),
                ElementsAre("VC-1.stream.0", "DD+.stream.00", "DD+.stream.01", "Subpicture.00"));

    form.setTicked(Option::Continue, true);
    writePartFile(firstPart(), chunks[kFirstEarly], chunks[kFirstLate]);
    expectScanWorks();
}

TEST_F(CommandFaults, ReadEvoMeetingAReadErrorInTheFirstPart) {
    {
        InjectedFileFaults faults({.readPath = firstPart(), .readFailsAt = 5 * kMiB});
        bCheckClick(session, form);
    }
    expectFailedScan("Stream read error", readErrorLine(firstPart()));
    EXPECT_THAT(lines(), Contains("VC-1 video stream 0 found!"));  // found before the error
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    expectScanWorks();
}

TEST_F(CommandFaults, ReadEvoMeetingAReadErrorInTheSecondPart) {
    {
        InjectedFileFaults faults({.readPath = secondPart(), .readFailsAt = 5 * kMiB});
        bCheckClick(session, form);
    }
    expectFailedScan("Stream read error", readErrorLine(secondPart()));
    EXPECT_THAT(lines(), Contains("Continue on FEATURE_2.EVO"));
    EXPECT_THAT(lines(), Contains("Dolby Digital Plus audio stream 1 found!"));
    expectScanWorks();
}

// The second part is looked for again after the first: gone by then, the scan ends with the
// first part as if there were none.
TEST_F(CommandFaults, ReadEvoWhoseSecondPartVanishesDuringTheFirst) {
    form.onPump = [this] { std::filesystem::remove(secondPart()); };
    bCheckClick(session, form);
    form.onPump = nullptr;
    EXPECT_TRUE(form.errors().empty());
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    const Lines log = lines();
    EXPECT_THAT(Lines(log.end() - 4, log.end()),
                ElementsAre("Done.", "", "2400 frames (0:01:40 s) count in video stream 0.", ""));
    EXPECT_THAT(listedCaptions(), ElementsAre("VC-1.stream.0", "DD+.stream.00", "Subpicture.00"));
    EXPECT_TRUE(form.isEnabled(Button::Check));
    EXPECT_FALSE(form.isEnabled(Button::Cancel));

    writePartFile(secondPart(), chunks[kSecondEarly], chunks[kSecondLate]);
    expectScanWorks();
}

// ---- Demux ----

TEST_F(CommandFaults, DemuxOfAnUnreadableSource) {
    scan();
    openFoldersToEveryone();
    ASSERT_EQ(::chmod(firstPart().c_str(), 0), 0);
    {
        PermissionsApply permissions;
        SKIP_UNLESS_PERMISSIONS_APPLY(permissions);
        bDemuxClick(session, form);
    }
    expectFailedWriteRun(cannotOpen(firstPart(), "Permission denied"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO"}));
    EXPECT_FALSE(std::filesystem::exists(demuxed(kVideoOut)));
    EXPECT_TRUE(form.isEnabled(Button::Check));

    ASSERT_EQ(::chmod(firstPart().c_str(), 0644), 0);
    expectDemuxWorks();
}

TEST_F(CommandFaults, DemuxOfASourceReplacedByAFolderOrHeldByAnotherProgram) {
    scan();
    std::filesystem::rename(firstPart(), dir.file("moved.EVO"));
    std::filesystem::create_directory(firstPart());
    bDemuxClick(session, form);
    expectFailedWriteRun(cannotOpen(firstPart(), "Is a directory"));
    EXPECT_FALSE(std::filesystem::exists(demuxed(kVideoOut)));

    std::filesystem::remove(firstPart());
    std::filesystem::rename(dir.file("moved.EVO"), firstPart());
    form.clearLog();
    {
        HeldFile held(firstPart());
        ASSERT_TRUE(held.held());
        bDemuxClick(session, form);
    }
    ASSERT_EQ(form.errors().size(), 2u);
    EXPECT_EQ(form.errors()[1], cannotOpen(firstPart(), "another program has the file open exclusively"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO"}));
    EXPECT_FALSE(std::filesystem::exists(demuxed(kVideoOut)));

    expectDemuxWorks();
}

// The second part held by another program when the first is done: the outputs keep the first
// part, closed.
TEST_F(CommandFaults, DemuxWhoseSecondPartIsHeldByAnotherProgram) {
    scan();
    {
        HeldFile held(secondPart());
        ASSERT_TRUE(held.held());
        bDemuxClick(session, form);
    }
    expectFailedWriteRun(cannotOpen(secondPart(), "another program has the file open exclusively"));
    Lines expected = {"Opening file FEATURE_1.EVO", "File size: 8 Mbytes."};
    for (const std::string& line : creatingLines())
        expected.push_back(line);
    EXPECT_EQ(lines(), withError(expected));  // no "Continue on": the opening failed
    expectDemuxedChunks(2);

    expectDemuxWorks();
}

TEST_F(CommandFaults, DemuxWhoseSecondPartVanishesDuringTheFirst) {
    scan();
    form.onPump = [this] { std::filesystem::remove(secondPart()); };
    bDemuxClick(session, form);
    form.onPump = nullptr;
    EXPECT_TRUE(form.errors().empty());
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    const Lines log = lines();
    EXPECT_THAT(Lines(log.end() - 3, log.end()),
                ElementsAre("Done.", "", "2400 frames (0:01:40 s) count in video stream 0."));
    expectDemuxedChunks(2);  // named for two parts all the same
    EXPECT_TRUE(form.isEnabled(Button::Demux));

    writePartFile(secondPart(), chunks[kSecondEarly], chunks[kSecondLate]);
    expectDemuxWorks();
}

TEST_F(CommandFaults, DemuxIntoAReadOnlyOutputFolder) {
    scan();
    openFoldersToEveryone();
    ASSERT_EQ(::chmod(out.c_str(), 0555), 0);
    {
        PermissionsApply permissions;
        SKIP_UNLESS_PERMISSIONS_APPLY(permissions);
        bDemuxClick(session, form);
    }
    expectFailedWriteRun(cannotCreate(demuxed(kVideoOut), "Permission denied"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO", "File size: 8 Mbytes."}));

    ASSERT_EQ(::chmod(out.c_str(), 0755), 0);
    expectDemuxWorks();
}

// An output folder that names a file (here the source itself): the message names the folder.
TEST_F(CommandFaults, DemuxIntoAnOutputFolderThatIsAFile) {
    scan();
    form.setText(Edit::Workdir, firstPart());
    bDemuxClick(session, form);
    expectFailedWriteRun(cannotCreate(firstPart() + "/", "Not a directory"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO", "File size: 8 Mbytes."}));

    form.setText(Edit::Workdir, out);
    expectDemuxWorks();
}

// The disk fills up in the middle of the first part: the video output holds exactly what
// fitted, the others what was demuxed before, and every file is closed.
TEST_F(CommandFaults, DemuxOntoADiskThatFillsUpInTheFirstPart) {
    scan();
    const int64_t limit = 1536 * 1024;
    {
        InjectedFileFaults faults({.writePath = demuxed(kVideoOut), .writeLimit = limit});
        bDemuxClick(session, form);
    }
    expectFailedWriteRun("Stream write error", writeErrorLine(demuxed(kVideoOut)));
    Lines expected = {"Opening file FEATURE_1.EVO", "File size: 8 Mbytes."};
    for (const std::string& line : creatingLines())
        expected.push_back(line);
    expected.push_back(writeErrorLine(demuxed(kVideoOut)));
    expected.push_back("");
    EXPECT_EQ(lines(), expected);
    const Bytes written = readFileBytes(demuxed(kVideoOut));
    EXPECT_EQ(written, prefix(video(kChunkCount), static_cast<size_t>(limit)));
    for (auto [name, whole] : {std::pair{kAudio0Out, audio0(kChunkCount)},
                               std::pair{kSubOut, subpictures(kChunkCount)}}) {
        const Bytes kept = readFileBytes(demuxed(name));
        EXPECT_EQ(kept, prefix(whole, kept.size())) << name;
        EXPECT_TRUE(closedAgain(demuxed(name))) << name;
    }
    EXPECT_TRUE(closedAgain(demuxed(kVideoOut)));

    expectDemuxWorks();
}

// The disk fills up in the second part: what the first part gave every output is all there.
TEST_F(CommandFaults, DemuxOntoADiskThatFillsUpInTheSecondPart) {
    scan();
    const size_t limit = video(2).size() + 100;
    {
        InjectedFileFaults faults(
            {.writePath = demuxed(kVideoOut), .writeLimit = static_cast<int64_t>(limit)});
        bDemuxClick(session, form);
    }
    expectFailedWriteRun("Stream write error", writeErrorLine(demuxed(kVideoOut)));
    EXPECT_THAT(lines(), Contains("Continue on FEATURE_2.EVO"));
    EXPECT_EQ(readFileBytes(demuxed(kVideoOut)), prefix(video(kChunkCount), limit));
    for (auto [name, whole, firstPartSize] :
         {std::tuple{kAudio0Out, audio0(kChunkCount), audio0(2).size()},
          std::tuple{kSubOut, subpictures(kChunkCount), subpictures(2).size()}}) {
        const Bytes kept = readFileBytes(demuxed(name));
        EXPECT_EQ(kept, prefix(whole, kept.size())) << name;
        EXPECT_GE(kept.size(), firstPartSize) << name;
    }

    expectDemuxWorks();
}

TEST_F(CommandFaults, DemuxMeetingAReadErrorInTheFirstPart) {
    scan();
    {
        InjectedFileFaults faults({.readPath = firstPart(), .readFailsAt = 5 * kMiB});
        bDemuxClick(session, form);
    }
    expectFailedWriteRun("Stream read error", readErrorLine(firstPart()));
    EXPECT_THAT(lines(), Not(Contains("Continue on FEATURE_2.EVO")));
    expectDemuxedChunks(1);  // the chunk before the error, all of it

    expectDemuxWorks();
}

TEST_F(CommandFaults, DemuxMeetingAReadErrorInTheSecondPart) {
    scan();
    {
        InjectedFileFaults faults({.readPath = secondPart(), .readFailsAt = 5 * kMiB});
        bDemuxClick(session, form);
    }
    expectFailedWriteRun("Stream read error", readErrorLine(secondPart()));
    EXPECT_THAT(lines(), Contains("Continue on FEATURE_2.EVO"));
    expectDemuxedChunks(3);

    expectDemuxWorks();
}

// ---- Rebuild ----

TEST_F(CommandFaults, RebuildOfAnUnreadableSourceOrOneReplacedByAFolder) {
    scan();
    const Bytes whole = rebuildUndisturbed();
    openFoldersToEveryone();
    ASSERT_EQ(::chmod(firstPart().c_str(), 0), 0);
    {
        PermissionsApply permissions;
        SKIP_UNLESS_PERMISSIONS_APPLY(permissions);
        bRebuildClick(session, form);
    }
    expectFailedWriteRun(cannotOpen(firstPart(), "Permission denied"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO"}));
    EXPECT_EQ(readFileBytes(rebuilt()), whole);  // not even emptied

    ASSERT_EQ(::chmod(firstPart().c_str(), 0644), 0);
    std::filesystem::rename(firstPart(), dir.file("moved.EVO"));
    std::filesystem::create_directory(firstPart());
    form.clearLog();
    bRebuildClick(session, form);
    ASSERT_EQ(form.errors().size(), 2u);
    EXPECT_EQ(form.errors()[1], cannotOpen(firstPart(), "Is a directory"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO"}));
    EXPECT_EQ(readFileBytes(rebuilt()), whole);

    std::filesystem::remove(firstPart());
    std::filesystem::rename(dir.file("moved.EVO"), firstPart());
    expectRebuildWorks(whole);
}

// The second part cannot be read when the first is done: the output keeps the first part.
TEST_F(CommandFaults, RebuildWhoseSecondPartIsUnreadable) {
    scan();
    const Bytes whole = rebuildUndisturbed();
    std::filesystem::remove(rebuilt());
    openFoldersToEveryone();
    ASSERT_EQ(::chmod(secondPart().c_str(), 0), 0);
    {
        PermissionsApply permissions;
        SKIP_UNLESS_PERMISSIONS_APPLY(permissions);
        bRebuildClick(session, form);
    }
    expectFailedWriteRun(cannotOpen(secondPart(), "Permission denied"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO", "File size: 8 Mbytes.",
                                  "Creating " + rebuilt()}));
    EXPECT_EQ(readFileBytes(rebuilt()), prefix(whole, rebuiltSize(2)));
    EXPECT_TRUE(closedAgain(rebuilt()));

    ASSERT_EQ(::chmod(secondPart().c_str(), 0644), 0);
    expectRebuildWorks(whole);
}

TEST_F(CommandFaults, RebuildWhoseSecondPartIsHeldOrVanishes) {
    scan();
    const Bytes whole = rebuildUndisturbed();
    {
        HeldFile held(secondPart());
        ASSERT_TRUE(held.held());
        bRebuildClick(session, form);
    }
    expectFailedWriteRun(cannotOpen(secondPart(), "another program has the file open exclusively"));
    EXPECT_EQ(readFileBytes(rebuilt()), prefix(whole, rebuiltSize(2)));

    // Gone during the first part: no continuation, and a normal ending.
    form.clearLog();
    form.onPump = [this] { std::filesystem::remove(secondPart()); };
    bRebuildClick(session, form);
    form.onPump = nullptr;
    EXPECT_EQ(form.errors().size(), 1u);
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", "File size: 8 Mbytes.",
                                     "Creating " + rebuilt(), "Done.", ""));
    EXPECT_EQ(readFileBytes(rebuilt()), prefix(whole, rebuiltSize(2)));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));

    writePartFile(secondPart(), chunks[kSecondEarly], chunks[kSecondLate]);
    expectRebuildWorks(whole);
}

TEST_F(CommandFaults, RebuildIntoAnOutputFolderThatRefusesFiles) {
    scan();
    const Bytes whole = rebuildUndisturbed();
    std::filesystem::remove(rebuilt());
    openFoldersToEveryone();
    ASSERT_EQ(::chmod(out.c_str(), 0555), 0);
    {
        PermissionsApply permissions;
        SKIP_UNLESS_PERMISSIONS_APPLY(permissions);
        bRebuildClick(session, form);
    }
    expectFailedWriteRun(cannotCreate(rebuilt(), "Permission denied"));
    EXPECT_EQ(lines(), withError({"Opening file FEATURE_1.EVO", "File size: 8 Mbytes."}));
    ASSERT_EQ(::chmod(out.c_str(), 0755), 0);

    // A folder that names a file.
    form.clearLog();
    form.setText(Edit::Workdir, firstPart());
    bRebuildClick(session, form);
    ASSERT_EQ(form.errors().size(), 2u);
    EXPECT_EQ(form.errors()[1], cannotCreate(firstPart() + "/", "Not a directory"));

    form.setText(Edit::Workdir, out);
    expectRebuildWorks(whole);
}

TEST_F(CommandFaults, RebuildOntoADiskThatFillsUp) {
    scan();
    const Bytes whole = rebuildUndisturbed();
    // In the first part, in the middle of a pack, and in the second part.
    for (size_t limit : {size_t{3000}, rebuiltSize(2) + 3000}) {
        SCOPED_TRACE(limit);
        form.clearLog();
        {
            InjectedFileFaults faults(
                {.writePath = rebuilt(), .writeLimit = static_cast<int64_t>(limit)});
            bRebuildClick(session, form);
        }
        EXPECT_EQ(form.errors().back(), "Stream write error");
        expectErrorEnding("Stream write error", writeErrorLine(rebuilt()));
        EXPECT_TRUE(form.isEnabled(Button::Rebuild));
        EXPECT_FALSE(form.isEnabled(Button::Cancel));
        EXPECT_TRUE(closedAgain(firstPart()));
        EXPECT_TRUE(closedAgain(secondPart()));
        EXPECT_EQ(readFileBytes(rebuilt()), prefix(whole, limit));
        EXPECT_TRUE(closedAgain(rebuilt()));
    }
    EXPECT_EQ(form.errors().size(), 2u);
    expectRebuildWorks(whole);
}

TEST_F(CommandFaults, RebuildMeetingAReadError) {
    scan();
    const Bytes whole = rebuildUndisturbed();
    for (auto [path, chunksBefore] : {std::pair{firstPart(), 1}, std::pair{secondPart(), 3}}) {
        SCOPED_TRACE(path);
        form.clearLog();
        {
            InjectedFileFaults faults({.readPath = path, .readFailsAt = 5 * kMiB});
            bRebuildClick(session, form);
        }
        EXPECT_EQ(form.errors().back(), "Stream read error");
        expectErrorEnding("Stream read error", readErrorLine(path));
        EXPECT_TRUE(form.isEnabled(Button::Rebuild));
        EXPECT_FALSE(form.isEnabled(Button::Cancel));
        EXPECT_EQ(readFileBytes(rebuilt()), prefix(whole, rebuiltSize(chunksBefore)));
        EXPECT_TRUE(closedAgain(rebuilt()));
        EXPECT_TRUE(closedAgain(path));
    }
    EXPECT_EQ(form.errors().size(), 2u);
    expectRebuildWorks(whole);
}

// ---- Named pipes ----

// Opening a named pipe waits for a program at its other end; the window would hang there for
// good. Opening never waits: a pipe in place of the source holds no bytes, one in place of an
// output that no program reads cannot be created.
class NamedPipes : public CommandFaults {
  protected:
    // A hang ends the test program (SIGALRM) instead of blocking the suite.
    NamedPipes() { ::alarm(20); }
    ~NamedPipes() override { ::alarm(0); }
};

TEST_F(NamedPipes, APipeInPlaceOfTheSourceIsReadAsEmpty) {
    std::filesystem::remove(firstPart());
    ASSERT_EQ(::mkfifo(firstPart().c_str(), 0644), 0);
    bCheckClick(session, form);
    EXPECT_TRUE(form.errors().empty());
    EXPECT_THAT(lines(), ElementsAre("Opening file FEATURE_1.EVO", "File size: 0 Mbytes.",
                                     "Continue on FEATURE_2.EVO",
                                     "It contains 1 video stream and 2 audio streams.",
                                     "VC-1 video stream 0 found!", ::testing::_,
                                     "Dolby Digital Plus audio stream 0 found!", ::testing::_,
                                     "Dolby Digital Plus audio stream 1 found!", ::testing::_,
                                     "Subpicture stream 0 found!", ::testing::_, "Done.", "",
                                     "2400 frames (0:01:40 s) count in video stream 0.", ""));
}

TEST_F(NamedPipes, APipeInPlaceOfAnOutputThatNoProgramReads) {
    scan();
    ASSERT_EQ(::mkfifo(rebuilt().c_str(), 0644), 0);
    bRebuildClick(session, form);
    expectFailedWriteRun(cannotCreate(rebuilt(), "No such device or address"));
    std::filesystem::remove(rebuilt());
    bRebuildClick(session, form);
    EXPECT_EQ(form.errors().size(), 1u);
    EXPECT_EQ(readFileBytes(rebuilt()).size(), rebuiltSize(kChunkCount));
}

}  // namespace
}  // namespace morvale::testing
