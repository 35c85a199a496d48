// SPDX-License-Identifier: MIT
#pragma once

// mkvmerge, mkvinfo and ffmpeg as independent peers of the export tests: elementary streams
// ffmpeg makes, Matroska files mkvmerge writes, and what ffprobe and mkvmerge -J read back.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace morvale::testing {

// True when mkvmerge, mkvinfo, ffmpeg and ffprobe all run.
bool haveMatroskaPeers();

// An MPEG-2 video elementary stream of `frames` frames at 25 fps, or an AC-3 stream of
// `frames` syncframes (32 ms each, 48 kHz stereo), made by ffmpeg at `path`.
void makeMpeg2Video(const std::string& path, int frames);
void makeAc3Audio(const std::string& path, int frames);

// mkvmerge @options: its exit status (0 done, 1 with warnings, 2 error) and its output.
struct MkvmergeRun {
    int status = -1;
    std::string output;
};
MkvmergeRun runMkvmerge(const std::string& optionsFile);

// `mkvmerge -J` of a file.
nlohmann::json mkvmergeIdentify(const std::string& path);

// The presentation times (ms) of the packets of a stream of a file ("a:0", "v:0": ffprobe's
// numbering among the streams of its kind), in file order or, with `sorted`, in
// presentation order.
std::vector<double> packetTimesMs(const std::string& path, const std::string& stream,
                                  bool sorted = false);

// Debian's python3 with python3-jsonschema: true when it runs.
bool haveSchemaValidator();
// python3-jsonschema's verdict on a JSON document against the schema file.
bool validatesAgainstSchema(const std::string& json, const std::string& schemaPath);

}  // namespace morvale::testing
