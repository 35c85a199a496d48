// SPDX-License-Identifier: MIT
#include "export/mkvmerge_options.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

namespace morvale {

namespace {

void addTrackOptions(const MkvTrackInput& track, std::vector<std::string>& args) {
    args.insert(args.end(), {"--language", "0:" + track.language});
    if (!track.name.empty()) args.insert(args.end(), {"--track-name", "0:" + track.name});
    args.insert(args.end(), {"--default-track-flag", track.isDefault ? "0:yes" : "0:no"});
    if (track.type == MkvTrackType::Subtitle) {
        args.insert(args.end(), {"--forced-display-flag", track.forced ? "0:yes" : "0:no"});
    }
    if (!track.timestampsPath.empty()) {
        args.insert(args.end(), {"--timestamps", "0:" + track.timestampsPath});
    }
}

}  // namespace

std::vector<std::string> mkvmergeArguments(const MkvJob& job) {
    std::vector<std::string> args = {"--output", job.output};
    if (!job.title.empty()) args.insert(args.end(), {"--title", job.title});
    if (!job.chaptersPath.empty()) args.insert(args.end(), {"--chapters", job.chaptersPath});
    std::string appendMap;
    int fileNumber = 0;
    for (const MkvTrackInput& track : job.tracks) {
        std::optional<int> previousFile;
        for (const MkvFile& file : track.files) {
            if (!previousFile) addTrackOptions(track, args);
            if (file.syncMs != 0) args.insert(args.end(), {"--sync", "0:" + std::to_string(file.syncMs)});
            if (previousFile) {
                args.push_back("+");
                if (!appendMap.empty()) appendMap += ",";
                appendMap += std::to_string(fileNumber) + ":0:" + std::to_string(*previousFile) + ":0";
            }
            args.push_back(file.path);
            previousFile = fileNumber++;
        }
    }
    if (!appendMap.empty()) args.insert(args.end(), {"--append-to", appendMap});
    return args;
}

std::string mkvmergeOptionsFile(const std::vector<std::string>& arguments) {
    return nlohmann::json(arguments).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
           "\n";
}

std::string timestampFileText(const std::vector<int64_t>& ticks) {
    std::string text = "# timestamp format v4\n";
    text.reserve(text.size() + ticks.size() * 12);
    char line[32];
    for (int64_t t : ticks) {
        std::snprintf(line, sizeof line, "%.4f\n", static_cast<double>(t) / 90.0);
        text += line;
    }
    return text;
}

}  // namespace morvale
