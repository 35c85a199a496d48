// SPDX-License-Identifier: MIT
// Read EVO, Demux and Rebuild over a two-part feature with the file layer's threads against
// the same runs without them: a read error in either part, a disk that fills up in either
// part, a first part still being written or whose size the system cannot tell, and Cancel at
// each phase leave the same log, the same messages and the same files.

#include <filesystem>
#include <map>

#include "feature_faults.h"

namespace morvale::testing {
namespace {

enum class Command { ReadEvo, Demux, Rebuild };

// The file a fault hits. GrowingFirstPart seems to end once at `at` (its writer not there yet);
// UntoldFirstPart's size query fails after `at` answers.
enum class Target {
    None,
    FirstPart,
    SecondPart,
    VideoOutput,
    AudioOutput,
    RebuiltOutput,
    GrowingFirstPart,
    UntoldFirstPart
};

struct Disturbance {
    const char* name;
    Command command;
    Target target;
    int64_t at;                 // the unreadable byte, the bytes that fit on the disk, ...
    const char* cancelIn = "";  // the part whose progress point...
    int cancelAtMiB = 0;        // ...at this many MiB clicks Cancel (0: never)
};

constexpr int64_t kMiBytes = 0x100000;

const Disturbance kDisturbances[] = {
    {"Read EVO, read error in the first part", Command::ReadEvo, Target::FirstPart, 5 * kMiBytes},
    {"Read EVO, read error in the second part", Command::ReadEvo, Target::SecondPart, 5 * kMiBytes},
    {"Read EVO, cancelled in the first part", Command::ReadEvo, Target::None, 0, "FEATURE_1", 4},
    {"Read EVO, cancelled between the parts", Command::ReadEvo, Target::None, 0, "FEATURE_1", 8},
    {"Read EVO, cancelled in the second part", Command::ReadEvo, Target::None, 0, "FEATURE_2", 4},
    {"Demux, read error in the first part", Command::Demux, Target::FirstPart, 5 * kMiBytes},
    {"Demux, read error in the second part", Command::Demux, Target::SecondPart, 5 * kMiBytes},
    {"Demux, video disk full in the first part", Command::Demux, Target::VideoOutput, 1536 * 1024},
    {"Demux, video disk full in the second part", Command::Demux, Target::VideoOutput, 2600 * 1024},
    {"Demux, audio disk full at the closing flush", Command::Demux, Target::AudioOutput, 5000},
    {"Demux, cancelled in the first part", Command::Demux, Target::None, 0, "FEATURE_1", 4},
    {"Demux, cancelled between the parts", Command::Demux, Target::None, 0, "FEATURE_1", 8},
    {"Demux, cancelled in the second part", Command::Demux, Target::None, 0, "FEATURE_2", 4},
    {"Rebuild, read error in the first part", Command::Rebuild, Target::FirstPart, 5 * kMiBytes},
    {"Rebuild, read error in the second part", Command::Rebuild, Target::SecondPart, 5 * kMiBytes},
    {"Rebuild, disk full in the first part", Command::Rebuild, Target::RebuiltOutput, 1000 * 1024},
    {"Rebuild, disk full in the second part", Command::Rebuild, Target::RebuiltOutput, 3500 * 1024},
    {"Rebuild, cancelled in the first part", Command::Rebuild, Target::None, 0, "FEATURE_1", 4},
    {"Rebuild, cancelled between the parts", Command::Rebuild, Target::None, 0, "FEATURE_1", 8},
    {"Rebuild, cancelled in the second part", Command::Rebuild, Target::None, 0, "FEATURE_2", 4},
    {"Read EVO, a short read", Command::ReadEvo, Target::GrowingFirstPart, kMiBytes + 1000},
    {"Demux, a short read, cancelled after it", Command::Demux, Target::GrowingFirstPart,
     kMiBytes + 1000, "FEATURE_1", 4},
    {"Rebuild, a short read", Command::Rebuild, Target::GrowingFirstPart, kMiBytes + 1000},
    {"Read EVO, size untold", Command::ReadEvo, Target::UntoldFirstPart, 5},
    {"Demux, size untold", Command::Demux, Target::UntoldFirstPart, 5},
    {"Rebuild, size untold", Command::Rebuild, Target::UntoldFirstPart, 3},
};

// What a run left: its log, its messages, its questions and every file in the output folder.
struct Ending {
    Lines log;
    Lines errors;
    size_t questions;
    std::map<std::string, Bytes> files;
    bool operator==(const Ending&) const = default;
};

class FileThreadsRuns : public FeatureFaultTest {
  protected:
    std::string pathOf(Target target) const {
        switch (target) {
            case Target::FirstPart:
            case Target::GrowingFirstPart:
            case Target::UntoldFirstPart:
                return firstPart();
            case Target::SecondPart:
                return secondPart();
            case Target::VideoOutput:
                return demuxed(kVideoOut);
            case Target::AudioOutput:
                return demuxed(kAudio0Out);
            case Target::RebuiltOutput:
                return rebuilt();
            case Target::None:
                break;
        }
        return {};
    }

    FileFaults faultsOf(const Disturbance& d) const {
        if (d.target == Target::FirstPart || d.target == Target::SecondPart)
            return {.readPath = pathOf(d.target), .readFailsAt = d.at};
        if (d.target == Target::GrowingFirstPart)
            return {.pausePath = pathOf(d.target), .pauseAt = d.at};
        if (d.target == Target::UntoldFirstPart)
            return {.sizePath = pathOf(d.target), .sizeFailsAfter = static_cast<int>(d.at)};
        if (d.target != Target::None) return {.writePath = pathOf(d.target), .writeLimit = d.at};
        return {};
    }

    Ending run(const Disturbance& d, FileThreads mode) {
        if (d.command != Command::ReadEvo) {  // the boxes ticked as after a scan
            const size_t before = form.errors().size();
            bCheckClick(session, form);
            EXPECT_EQ(form.errors().size(), before);
        }
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        form.clearLog();
        const size_t errors = form.errors().size();
        const size_t questions = form.questions().size();
        bool clicked = false;
        form.onPump = [&] {
            if (clicked || d.cancelAtMiB == 0) return;
            if (!progressAt(std::string(d.cancelIn) + ".EVO", d.cancelAtMiB)) return;
            clicked = true;
            bCancelClick(session, form);
        };
        {
            FileThreadsMode threads(mode);
            InjectedFileFaults faults(faultsOf(d));
            switch (d.command) {
                case Command::ReadEvo:
                    bCheckClick(session, form);
                    break;
                case Command::Demux:
                    bDemuxClick(session, form);
                    break;
                case Command::Rebuild:
                    bRebuildClick(session, form);
                    break;
            }
        }
        form.onPump = nullptr;
        EXPECT_EQ(clicked, d.cancelAtMiB != 0);
        Ending ending{
            lines(),
            Lines(form.errors().begin() + static_cast<ptrdiff_t>(errors), form.errors().end()),
            form.questions().size() - questions,
            {}};
        for (const auto& entry : std::filesystem::directory_iterator(out)) {
            EXPECT_TRUE(closedAgain(entry.path().string())) << entry.path();
            ending.files[entry.path().filename().string()] = readFileBytes(entry.path().string());
        }
        return ending;
    }
};

TEST_F(FileThreadsRuns, EveryDisturbanceEndsAsWithoutThreads) {
    form.answer = [](std::string_view) { return true; };
    for (const Disturbance& d : kDisturbances) {
        SCOPED_TRACE(d.name);
        const Ending plain = run(d, FileThreads::None);
        const Ending threaded = run(d, FileThreads::Background);
        EXPECT_EQ(threaded.log, plain.log);
        EXPECT_EQ(threaded.errors, plain.errors);
        EXPECT_EQ(threaded.questions, plain.questions);
        EXPECT_EQ(threaded.files.size(), plain.files.size());
        for (const auto& [name, bytes] : plain.files)
            EXPECT_TRUE(threaded.files.count(name) && threaded.files.at(name) == bytes) << name;
        // The disturbance did what it is named for.
        EXPECT_EQ(plain.errors.empty(),
                  d.target == Target::None || d.target == Target::GrowingFirstPart);
    }
}

}  // namespace
}  // namespace morvale::testing
