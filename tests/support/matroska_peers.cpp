// SPDX-License-Identifier: MIT
#include "support/matroska_peers.h"

#include <sys/wait.h>
#include <algorithm>

#include "support/peer_tools.h"
#include "support/temp_dir.h"

#include <fstream>

namespace morvale::testing {

bool haveMatroskaPeers() {
    return havePeerTools() && shellSucceeds("mkvmerge --version") &&
           shellSucceeds("mkvinfo --version");
}

void makeMpeg2Video(const std::string& path, int frames) {
    shellSucceeds("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -frames:v " +
                  std::to_string(frames) + " -c:v mpeg2video -f mpeg2video " + quoted(path));
}

void makeAc3Audio(const std::string& path, int frames) {
    shellSucceeds(
        "ffmpeg -v error -y -f lavfi -i sine=f=440:sample_rate=48000 -ac 2 -c:a ac3 "
        "-frames:a " +
        std::to_string(frames) + " -f ac3 " + quoted(path));
}

MkvmergeRun runMkvmerge(const std::string& optionsFile) {
    MkvmergeRun run;
    FILE* pipe = ::popen(("mkvmerge @" + quoted(optionsFile) + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

nlohmann::json mkvmergeIdentify(const std::string& path) {
    return nlohmann::json::parse(shellOutput("mkvmerge -J " + quoted(path)));
}

std::vector<double> packetTimesMs(const std::string& path, const std::string& stream, bool sorted) {
    // The presentation time, or the decoding time where a packet has none (VC-1 in
    // Matroska carries only one timestamp).
    std::vector<double> times;
    for (const std::string& line :
         shellLines("ffprobe -v error -select_streams " + stream +
                    " -show_entries packet=pts_time,dts_time -of csv=p=0 " + quoted(path))) {
        const size_t comma = line.find(',');
        std::string pts = line.substr(0, comma);
        std::string dts = comma == std::string::npos ? "" : line.substr(comma + 1);
        const std::string& time = pts.empty() || pts == "N/A" ? dts : pts;
        if (!time.empty() && time != "N/A") times.push_back(std::stod(time) * 1000.0);
    }
    if (sorted) std::sort(times.begin(), times.end());
    return times;
}

namespace {
constexpr const char* kPython = "/usr/bin/python3";
}  // namespace

bool haveSchemaValidator() {
    return shellSucceeds(std::string(kPython) + " -c 'import jsonschema'");
}

bool validatesAgainstSchema(const std::string& json, const std::string& schemaPath) {
    TempDir dir;
    std::ofstream(dir.file("doc.json")) << json;
    return shellSucceeds(
        std::string(kPython) +
        " -c 'import json, sys, jsonschema; jsonschema.validate(json.load(open(sys.argv[1])), "
        "json.load(open(sys.argv[2])))' " +
        quoted(dir.file("doc.json")) + " " + quoted(schemaPath));
}

}  // namespace morvale::testing
