// SPDX-License-Identifier: MIT
#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <map>
#include <ostream>

#include "cli/cli_commands.h"
#include "commands/command_settings.h"
#include "export/chapter_file.h"

namespace morvale {

namespace {

constexpr const char* kUsage =
    "Usage: morvale-cli scan    [OPTIONS] SOURCE\n"
    "       morvale-cli demux   [OPTIONS] SOURCE\n"
    "       morvale-cli rebuild [OPTIONS] SOURCE\n"
    "       morvale-cli mkv     [OPTIONS] SOURCE | --title N DISC\n"
    "       morvale-cli titles  [--json] DISC\n"
    "       morvale-cli xpl [--source SOURCE] [--outline] [--tree] [--json] [--chapters FILE]\n"
    "                   PLAYLIST\n"
    "       morvale-cli --help | --version\n";

// The options every source command shares: the source and the scan's options of the window's
// Options page.
void addSourceOptions(CLI::App& command, SourceOptions& options) {
    command.add_option("SOURCE", options.source, "The EVO or VOB file")->required();
    command.add_flag("--no-continue", options.noContinue,
                     "Do not continue with FEATURE_2.EVO after FEATURE_1.EVO");
    command.add_flag("--no-fast-check", options.noFastCheck,
                     "Read the whole file, not only its first ~300 MB");
    command.add_flag("--no-count-frames", options.noCountFrames, "Do not count frames");
    command.add_flag("--no-details", options.noDetails,
                     "No first timestamps and stream header details");
}

// The options of the commands that write: where to, and the stream boxes.
void addOutputOptions(CLI::App& command, SourceOptions& options, std::string& streamList) {
    if (command.get_name() == "mkv") {
        command.add_option("-o,--output", options.mkvOutput,
                           "The Matroska file, or its folder (default: the current directory)");
    } else {
        command.add_option("-o,--output-dir", options.outputDir,
                           "Output folder (default: the current directory)");
    }
    command.add_option("--streams", streamList,
                       "Comma-separated streams to keep, by name (VC-1.stream.0,DD+.stream.00) "
                       "or slot (v0 v1 a00..a15 s00..s15); default: all found");
}

// The output extensions of the streams a command writes as files of their own.
void addExtensionOptions(CLI::App& command, SourceOptions& options) {
    auto extension = CLI::Validator(
        [](std::string& text) {
            return text.size() > kExtensionMaxLength
                       ? "at most " + std::to_string(kExtensionMaxLength) + " characters"
                       : std::string();
        },
        "EXT");
    command.add_option("--video-ext", options.videoExt, "Video extension (default mpv)")
        ->check(extension);
    command.add_option("--audio-ext", options.audioExt, "Audio extension (default mpa)")
        ->check(extension);
    command.add_option("--sub-ext", options.subExt, "Subpicture extension (default sup)")
        ->check(extension);
}

// An unknown stream name is a usage error, found before anything runs.
void parseStreams(const CLI::App& command, const std::string& list, SourceOptions& options) {
    if (command.count("--streams") == 0) return;
    std::string unknown;
    options.streams = parseStreamList(list, unknown);
    if (!unknown.empty()) {
        throw CLI::ValidationError("--streams", "unknown stream \"" + unknown + "\"");
    }
    if (command.get_name() == "mkv") return;
    for (const StreamChoice& choice : *options.streams) {
        if (choice.byId) {
            throw CLI::ValidationError("--streams", "\"" + choice.name +
                                                        "\": only mkv takes streams by identifier");
        }
    }
}

}  // namespace

int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           bool showStatus) {
    CLI::App app{
        "morvale-cli: the headless twin of the Morvale window. It lists the video,\n"
        "audio and subpicture streams of HD DVD EVO and DVD VOB files, writes them\n"
        "out as elementary streams, rebuilds an EVO with the chosen streams only\n"
        "and reads the disc's XPL playlist; it hands a feature to mkvmerge as one\n"
        "Matroska file. Exit status: 0 done, 1 file error (or mkvmerge missing or\n"
        "failing), 2 usage error, 130 stopped by SIGINT or SIGTERM.",
        "morvale-cli"};
    app.set_version_flag("-V,--version", std::string("morvale-cli ") + MORVALE_VERSION);
    app.require_subcommand(1);

    SourceOptions sourceOptions;
    std::string streamList;
    CLI::App* scan = app.add_subcommand("scan", "Read EVO: list the streams of SOURCE");
    CLI::App* demux =
        app.add_subcommand("demux", "Read EVO, then write the chosen streams of SOURCE");
    CLI::App* rebuild = app.add_subcommand(
        "rebuild", "Read EVO, then write SOURCE with the chosen streams only (.rebuilt.EVO)");
    CLI::App* mkv = app.add_subcommand(
        "mkv",
        "Read EVO, then make a Matroska file of the chosen streams with mkvmerge: the "
        "playlist's title, track names, languages and chapters, each stream in sync");
    for (CLI::App* command : {scan, demux, rebuild, mkv})
        addSourceOptions(*command, sourceOptions);
    for (CLI::App* command : {demux, rebuild, mkv})
        addOutputOptions(*command, sourceOptions, streamList);
    for (CLI::App* command : {demux, mkv})
        addExtensionOptions(*command, sourceOptions);
    scan->add_flag("--json", sourceOptions.json,
                   "Print the feature's description as JSON (the log goes to stderr)");
    for (CLI::App* command : {scan, mkv}) {
        command->add_option("--playlist", sourceOptions.playlist,
                            "The playlist (default: ADV_OBJ/VPLST000.XPL beside HVDVD_TS)");
    }
    std::map<std::string, SubpictureFormat> formats;
    for (const SubpictureFormatName& format : kSubpictureFormatNames)
        formats.emplace(format.name, format.format);
    demux
        ->add_option("--sub-format", sourceOptions.subpictureFormat,
                     "Subpicture streams as subpicture records (sp, default), PGS (pgs: .sup) "
                     "or VobSub (vobsub: .idx and .sub)")
        ->transform(CLI::CheckedTransformer(formats));
    mkv->add_flag("--keep-streams", sourceOptions.keepStreams,
                  "Keep the work folder with the demuxed streams after mkvmerge");
    mkv->add_flag("--overwrite", sourceOptions.overwrite,
                  "Replace a file that stands at the Matroska file's path");
    mkv->add_option("--work-dir", sourceOptions.workDir,
                    "Where the work folder goes (default: beside the Matroska file)");
    mkv->add_option("--title", sourceOptions.title,
                    "Make title N of the disc's playlist (see titles); SOURCE is then the disc")
        ->check(CLI::PositiveNumber);

    TitlesOptions titlesOptions;
    CLI::App* titles = app.add_subcommand(
        "titles", "The disc's titles: duration, clips and their EVOs, tracks, chapters");
    titles->add_option("DISC", titlesOptions.disc,
                       "The disc's folder, its HVDVD_TS or VIDEO_TS folder, or its playlist")
        ->required();
    titles->add_flag("--json", titlesOptions.json, "Print the disc's titles as JSON");

    XplOptions xplOptions;
    CLI::App* xpl = app.add_subcommand("xpl",
                                       "Read XPL: the title of the playlist that plays "
                                       "SOURCE, its tracks and chapters");
    xpl->add_option("PLAYLIST", xplOptions.playlist, "The VPLST000.XPL file")->required();
    xpl->add_option("--source", xplOptions.source, "The EVO whose title is shown");
    xpl->add_flag("--outline", xplOptions.outline, "Print the playlist outline after the log");
    xpl->add_flag("--tree", xplOptions.tree, "Print the playlist tree after the log");
    xpl->add_flag("--json", xplOptions.json, "Print the title as JSON (the log goes to stderr)");
    xpl->add_option("--chapters", xplOptions.chapters,
                    "Write the title's chapters: Matroska XML (.xml) or simple chapters (.txt)")
        ->check(CLI::Validator(
            [](std::string& path) {
                return chapterFormatOf(path) ? std::string()
                                             : std::string("the file must end in .xml or .txt");
            },
            "FILE"));

    try {
        app.parse(argc, argv);
        for (CLI::App* command : {demux, rebuild, mkv}) {
            if (command->parsed()) parseStreams(*command, streamList, sourceOptions);
        }
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitDone;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return kExitDone;
    } catch (const CLI::ParseError& e) {
        err << "morvale-cli: " << e.what() << "\n" << kUsage;
        return kExitUsage;
    }

    const CliStreams streams{out, err, showStatus};
    if (scan->parsed()) return runScan(sourceOptions, streams);
    if (demux->parsed()) return runDemux(sourceOptions, streams);
    if (rebuild->parsed()) return runRebuild(sourceOptions, streams);
    if (mkv->parsed()) return runMkv(sourceOptions, streams);
    if (titles->parsed()) return runTitles(titlesOptions, streams);
    return runXpl(xplOptions, streams);
}

}  // namespace morvale
