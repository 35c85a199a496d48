// SPDX-License-Identifier: MIT
#pragma once

// ffmpeg, ffprobe, mediainfo and mkvmerge as independent peers of the tests: running them,
// the streams each of them lists in a program stream, the line a scan logs when it finds each
// of them, ffmpeg's stream copies and packets, and ffprobe's picture counts and durations.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvale::testing {

using Lines = std::vector<std::string>;

// True when both ffmpeg and ffprobe run.
bool havePeerTools();
// Runs a shell command with its output discarded; true when it exits with status 0.
bool shellSucceeds(const std::string& command);
// The standard output of a shell command, and the same split into lines.
std::string shellOutput(const std::string& command);
Lines shellLines(const std::string& command);
// A path quoted for the shell.
std::string quoted(const std::string& path);

// A stream as ffprobe lists it. ffprobe's id is 0x1E0 for the PES stream id 0xE0, 0xFD55
// for VC-1 under the extended stream id 0xFD with stream_id_extension 0x55, and the
// sub_stream_id (0x80, 0xC1, 0x21...) for a private stream 1 sub-stream.
struct ProbedStream {
    std::string codec;
    uint32_t id = 0;
};
std::vector<ProbedStream> probeStreams(const std::string& path);
// "codec,0xid" for each stream ffprobe lists, sorted ("ac3,0x81", "mpeg2video,0x1e0").
Lines probedStreamNames(const std::string& path);

// The line a scan logs when it first finds the stream ("Dolby Digital audio stream 1
// found!"); nothing for what the program does not announce (navigation packets, MPEG
// audio); "unexpected CODEC at ID" when ffprobe's codec is not the kind the id stands for.
std::optional<std::string> announcementOf(const ProbedStream& stream);
// The announcements of every stream ffprobe lists in the file, sorted.
Lines announcementsOf(const std::string& path);
// The lines of a scan's log that announce a stream, sorted.
Lines foundLines(const Lines& log);

// ffmpeg's copy of the stream with ffprobe id `id` of `input` in the raw format `format`,
// written to `path`. -copyinkf keeps the packets before the first key frame, which ffmpeg
// drops by default and the program writes like every other. Empty when ffmpeg failed.
std::vector<uint8_t> ffmpegCopy(const std::string& input, uint32_t id, const std::string& format,
                                const std::string& path);

// The packets ffmpeg reads of the stream with ffprobe id `id`, in file order.
struct ProbedPacket {
    int64_t pts = -1;  // 90 kHz units; -1 when the packet has none
    size_t size = 0;
};
std::vector<ProbedPacket> probePackets(const std::string& input, uint32_t id);

// ffmpeg's input for the two parts of a feature read as one file.
std::string concatInput(const std::string& firstPart, const std::string& secondPart);

// ffprobe's picture count of the first video stream (-count_frames), -1 when it has none.
int probedFrameCount(const std::string& path);
// ffprobe's duration of the first video stream in seconds, -1 when it gives none.
double probedVideoDuration(const std::string& path);

// The ids of the video, audio and subtitle streams each peer lists, in ffprobe's notation
// (0x1E0 for PES stream id 0xE0, the sub_stream_id for a private stream 1 sub-stream,
// 0xFD55 for stream_id_extension 0x55), sorted. ffprobe's list leaves out navigation
// packets, which the other two do not list either. Empty when the peer failed.
std::vector<uint32_t> ffprobeIds(const std::string& path);
std::vector<uint32_t> mediainfoIds(const std::string& path);
std::vector<uint32_t> mkvmergeIds(const std::string& path);
// Whether mkvmerge turns the file into a Matroska file at `output` with exit status 0: no
// error and no warning (an invalid audio frame is a warning).
bool mkvmergeMuxesCleanly(const std::string& path, const std::string& output);

}  // namespace morvale::testing
