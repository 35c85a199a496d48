// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "engine/part_scan.h"
#include "engine/payload_sink.h"
#include "platform/file.h"

namespace morvale {

// A feature split over FEATURE_1.EVO and FEATURE_2.EVO: the source is a first part when its
// name ends in "_1.EVO" exactly (case counts); the second part's path is the source path
// with its last five characters replaced by "2.EVO".
struct SecondPart {
    bool continues = false;
    std::string path;
};

// Only when "Continue with second EVO" is ticked; otherwise the source does not continue.
SecondPart secondPartOf(const CommandSettings& settings);

// True when the run goes on into the second part now: the option is ticked, no cancel was
// requested, and the second part exists at this moment.
bool goesOnToSecondPart(const CommandSettings& settings, const SecondPart& part,
                        bool cancelRequested);

// The name every output of the feature starts with: the source's base name, plus "_2" when
// the run will continue into an existing second part.
std::string featureBaseName(const CommandSettings& settings, const SecondPart& part);
// The same in the output folder (with a trailing separator).
std::string outputBaseOf(const CommandSettings& settings, const SecondPart& part);

// The files a run of the feature reads: the source, the second part when the feature
// continues (whether or not it is there yet), and the playlist when one is given.
std::vector<std::string> featureInputs(const CommandSettings& settings, const SecondPart& part);

// What a writing command does before it creates the files it names in `outputs`: the output
// folder must be there (the error names the folder), no output may be one of the files the run
// reads (featureInputs), and the log names the output folder in full when it was given
// relative or empty ("Output folder /home/user/out/"). Throws FileError before anything is
// created.
void prepareOutputs(CommandHost& host, const CommandSettings& settings, const SecondPart& part,
                    const std::vector<std::string>& outputs);

// A part of a feature as a command read it.
struct ScannedPart {
    std::string path;
    PartScan scan;
};

// What a box's output file takes: an elementary stream, or subpicture records against the
// time base of the last scan.
std::unique_ptr<PayloadSink> boxOutputSink(SlotKind kind, OutputFile& file,
                                           uint32_t subpictureTimeBase);

// "File size: <MiB> Mbytes."
std::string fileSizeLine(int64_t bytes);

// How a command goes through the parts of a feature.
struct FeaturePass {
    ShareMode firstPartShare;  // the second part is always opened exclusively
    const char* verb;          // status panel 0 shows "<verb> <file name>" while a part runs
    bool showOpening;          // status "Opening" while the first part opens
    const char* firstPartSuffix = "";  // follows the first part's name in the status
};

// Logs "Opening file <name>", opens the source and logs its size, calls `prepare` once (the
// command creates its outputs there), shows the pass's status and calls `run` on the part.
// When the feature goes on (goesOnToSecondPart after the first part), the first part is
// closed, the second opened, "Continue on <name>" logged and `run` called on it. `run`
// returns whether the part ran to its end. Throws FileError; the source is closed on every
// exit.
void runFeature(CommandHost& host, const CommandSettings& settings, const SecondPart& part,
                const FeaturePass& pass, const std::function<void()>& prepare,
                const std::function<bool(SourceFile&)>& run);

}  // namespace morvale
