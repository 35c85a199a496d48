// SPDX-License-Identifier: MIT
#include "support/peer_tools.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/temp_dir.h"

namespace morvale::testing {

namespace {

// What ffprobe must name each id range, and the announcement of the program's scan. The
// slot is the id masked as the program's slot mapping masks it (MPEG-2 systems: 0xE0-0xEF
// video PES ids; DVD/HD DVD private stream 1 sub-stream ids).
struct PeerKind {
    uint32_t first, last;
    const char* codec;
    const char* announcement;  // nullptr: the program does not announce it
    uint32_t slotMask;
    uint32_t slotBase;
};

constexpr PeerKind kPeerKinds[] = {
    {0x1E0, 0x1E1, "mpeg2video", "MPEG-2 video stream ", 0x1, 0},
    {0x1E0, 0x1E1, "mpeg1video", "MPEG-2 video stream ", 0x1, 0},
    {0x1E2, 0x1E3, "h264", "H.264 video stream ", 0x1, 0},
    {0xFD55, 0xFD56, "vc1", "VC-1 video stream ", 0xFFFF, 0xFD55},
    {0x80, 0x87, "ac3", "Dolby Digital audio stream ", 0x7, 0},
    {0x88, 0x8F, "dts", "DTS HD (DTS) audio stream ", 0x7, 0},
    {0xA0, 0xA7, "pcm_dvd", "LPCM audio stream ", 0xF, 0},
    {0xB0, 0xB7, "truehd", "Dolby TrueHD (MLP) audio stream ", 0x7, 0},
    {0xC0, 0xCF, "eac3", "Dolby Digital Plus audio stream ", 0xF, 0},
    {0x20, 0x3F, "dvd_subtitle", "Subpicture stream ", 0x1F, 0},
    {0x60, 0x7F, "dvd_subtitle", "Extended subpicture stream ", 0x1F, 0},
    // Navigation packets (private stream 2) and MPEG audio are passed over.
    {0x1BF, 0x1BF, "dvd_nav_packet", nullptr, 0, 0},
    {0x1C0, 0x1DF, "mp2", nullptr, 0, 0},
};

std::string hexId(uint32_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", id);
    return text;
}

// ffprobe's csv lines, with the empty fields some versions add at their ends and the
// empty lines of side data dropped.
Lines csvLines(const std::string& command) {
    Lines lines;
    for (std::string line : shellLines(command)) {
        while (!line.empty() && line.back() == ',')
            line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool shellSucceeds(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool havePeerTools() {
    return shellSucceeds("ffmpeg -version") && shellSucceeds("ffprobe -version");
}

std::string shellOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

Lines shellLines(const std::string& command) {
    Lines lines;
    std::istringstream text(shellOutput(command));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

std::string quoted(const std::string& path) {
    std::string text = "'";
    for (char c : path)
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

std::vector<ProbedStream> probeStreams(const std::string& path) {
    std::vector<ProbedStream> streams;
    // codec_name first, id last: the order ffprobe writes them in whatever the order asked.
    for (const std::string& line :
         csvLines("ffprobe -v error -show_entries stream=codec_name,id -of csv=p=0 " +
                  quoted(path) + " 2>/dev/null")) {
        const size_t comma = line.rfind(',');
        if (comma == std::string::npos) continue;
        // An id that is not a number (N/A) stays 0, which no kind accepts.
        const std::string id = line.substr(comma + 1);
        streams.push_back(
            {line.substr(0, comma), static_cast<uint32_t>(std::strtoul(id.c_str(), nullptr, 0))});
    }
    return streams;
}

Lines probedStreamNames(const std::string& path) {
    Lines names;
    for (const ProbedStream& stream : probeStreams(path))
        names.push_back(stream.codec + "," + hexId(stream.id));
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> announcementOf(const ProbedStream& stream) {
    for (const PeerKind& kind : kPeerKinds) {
        if (stream.id < kind.first || stream.id > kind.last || stream.codec != kind.codec) {
            continue;
        }
        if (kind.announcement == nullptr) return std::nullopt;
        return kind.announcement + std::to_string((stream.id - kind.slotBase) & kind.slotMask) +
               " found!";
    }
    return "unexpected " + stream.codec + " at " + hexId(stream.id);
}

Lines announcementsOf(const std::string& path) {
    Lines lines;
    for (const ProbedStream& stream : probeStreams(path)) {
        if (const auto line = announcementOf(stream)) lines.push_back(*line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

Lines foundLines(const Lines& log) {
    Lines lines;
    std::copy_if(log.begin(), log.end(), std::back_inserter(lines), [](const std::string& line) {
        return line.size() > 7 && line.compare(line.size() - 7, 7, " found!") == 0 &&
               line.rfind("   ", 0) != 0;
    });
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<uint8_t> ffmpegCopy(const std::string& input, uint32_t id, const std::string& format,
                                const std::string& path) {
    if (!shellSucceeds("ffmpeg -nostdin -v error -y -i " + quoted(input) + " -map 0:i:" +
                       hexId(id) + " -c copy -copyinkf -f " + format + " " + quoted(path))) {
        return {};
    }
    return readFileBytes(path);
}

std::vector<ProbedPacket> probePackets(const std::string& input, uint32_t id) {
    std::vector<ProbedPacket> packets;
    for (const std::string& line :
         csvLines("ffprobe -v error -select_streams i:" + hexId(id) +
                  " -show_entries packet=pts,size -of csv=p=0 " + quoted(input) + " 2>/dev/null")) {
        const size_t comma = line.find(',');
        if (comma == std::string::npos) continue;
        const std::string pts = line.substr(0, comma);
        packets.push_back({pts == "N/A" ? -1 : std::stoll(pts),
                           static_cast<size_t>(std::stoul(line.substr(comma + 1)))});
    }
    return packets;
}

std::string concatInput(const std::string& firstPart, const std::string& secondPart) {
    return "concat:" + firstPart + "|" + secondPart;
}

int probedFrameCount(const std::string& path) {
    const Lines lines = csvLines(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames -of csv=p=0 " +
        quoted(path) + " 2>/dev/null");
    return lines.empty() ? -1 : std::atoi(lines.front().c_str());
}

double probedVideoDuration(const std::string& path) {
    const Lines lines =
        csvLines("ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 " +
                 quoted(path) + " 2>/dev/null");
    if (lines.empty() || lines.front() == "N/A") return -1;
    return std::atof(lines.front().c_str());
}

namespace {

// A stream id and sub-stream id as ffprobe writes them as one number.
uint32_t ffprobeNotation(uint32_t streamId, int64_t subStreamId) {
    if (subStreamId < 0) return 0x100 | streamId;
    if (streamId == 0xBD) return static_cast<uint32_t>(subStreamId);
    return (streamId << 8) | static_cast<uint32_t>(subStreamId);
}

std::vector<uint32_t> sorted(std::vector<uint32_t> ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

nlohmann::json jsonOutput(const std::string& command) {
    return nlohmann::json::parse(shellOutput(command + " 2>/dev/null"), nullptr, false);
}

}  // namespace

std::vector<uint32_t> ffprobeIds(const std::string& path) {
    std::vector<uint32_t> ids;
    for (const ProbedStream& stream : probeStreams(path)) {
        if (stream.codec != "dvd_nav_packet") ids.push_back(stream.id);
    }
    return sorted(ids);
}

// mediainfo writes "224" for a PES stream id and "189-128" for a sub-stream.
std::vector<uint32_t> mediainfoIds(const std::string& path) {
    std::vector<uint32_t> ids;
    const nlohmann::json info = jsonOutput("mediainfo --Output=JSON " + quoted(path));
    if (info.is_discarded() || !info.contains("media")) return ids;
    for (const nlohmann::json& track : info["media"]["track"]) {
        const std::string type = track.value("@type", "");
        if (type != "Video" && type != "Audio" && type != "Text") continue;
        const std::string id = track.value("ID", "");
        const size_t dash = id.find('-');
        const uint32_t streamId = static_cast<uint32_t>(std::strtoul(id.c_str(), nullptr, 10));
        const int64_t sub =
            dash == std::string::npos ? -1 : std::strtol(id.c_str() + dash + 1, nullptr, 10);
        ids.push_back(ffprobeNotation(streamId, sub));
    }
    return sorted(ids);
}

std::vector<uint32_t> mkvmergeIds(const std::string& path) {
    std::vector<uint32_t> ids;
    const nlohmann::json info = jsonOutput("mkvmerge -J " + quoted(path));
    if (info.is_discarded() || !info.contains("tracks")) return ids;
    for (const nlohmann::json& track : info["tracks"]) {
        const nlohmann::json& properties = track["properties"];
        ids.push_back(ffprobeNotation(properties.value("stream_id", 0u),
                                      properties.value("sub_stream_id", int64_t{-1})));
    }
    return sorted(ids);
}

bool mkvmergeMuxesCleanly(const std::string& path, const std::string& output) {
    return shellSucceeds("mkvmerge -q -o " + quoted(output) + " " + quoted(path));
}

}  // namespace morvale::testing
