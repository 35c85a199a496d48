// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/stream_choice.h"
#include "commands/command_settings.h"

namespace morvale {

enum ExitStatus : int {
    kExitDone = 0,       // the command ended with "Done."
    kExitFileError = 1,  // a file could not be opened, created, read or written
    kExitUsage = 2,
    kExitStopped = 130,  // SIGINT or SIGTERM stopped the run
};

// The window's controls as options, with the window's defaults.
struct SourceOptions {
    std::string source;
    std::string outputDir;  // empty: the current directory
    bool noContinue = false;
    bool noFastCheck = false;
    bool noCountFrames = false;
    bool noDetails = false;
    // Nothing: every stream the scan found.
    std::optional<std::vector<StreamChoice>> streams;
    std::string videoExt = "mpv";
    std::string audioExt = "mpa";
    std::string subExt = "sup";
    SubpictureFormat subpictureFormat = SubpictureFormat::Records;  // demux --sub-format
    bool json = false;         // scan: print the description as JSON
    std::string playlist;      // scan --json, mkv: the playlist; empty: by the disc layout
    std::string mkvOutput;     // mkv: the Matroska file or its folder
    bool keepStreams = false;  // mkv
    bool overwrite = false;    // mkv: replace a file at the Matroska file's path
    std::string workDir;       // mkv: where the work folder goes; empty: beside the output
    std::optional<int> title;  // mkv: the disc's title to make; SOURCE is then the disc
};

struct TitlesOptions {
    std::string disc;  // the disc's folder, its HVDVD_TS or VIDEO_TS folder, or the playlist
    bool json = false;
};

struct XplOptions {
    std::string playlist;
    std::string source;  // gives the base name the title is looked up by
    bool outline = false;
    bool tree = false;
    bool json = false;
    std::string chapters;  // the chapter file to write; empty: none
};

// Where a subcommand writes: stdout gets the message log, stderr the rest.
struct CliStreams {
    std::ostream& out;
    std::ostream& err;
    bool showStatus;  // stderr is a terminal: show the status panels there
};

int runScan(const SourceOptions& options, const CliStreams& streams);
int runDemux(const SourceOptions& options, const CliStreams& streams);
int runRebuild(const SourceOptions& options, const CliStreams& streams);
int runMkv(const SourceOptions& options, const CliStreams& streams);
int runXpl(const XplOptions& options, const CliStreams& streams);
int runTitles(const TitlesOptions& options, const CliStreams& streams);

}  // namespace morvale
