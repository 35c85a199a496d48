// SPDX-License-Identifier: MIT
#include "export/dvd_title_sets.h"

#include <cstdio>

#include "platform/file.h"
#include "platform/paths.h"

namespace morvale {

namespace {

// "VTS_01_0.IFO", "VTS_01_3.VOB".
std::string titleSetFileName(int set, int part) {
    char name[32];
    std::snprintf(name, sizeof name, "VTS_%02d_%d.%s", set, part, part == 0 ? "IFO" : "VOB");
    return name;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The path of the file as the folder holds it, in upper or lower case; nothing when absent.
std::optional<std::string> existing(const std::string& folder, const std::string& name) {
    if (fileExists(folder + name)) return folder + name;
    if (fileExists(folder + lowerAscii(name))) return folder + lowerAscii(name);
    return std::nullopt;
}

int64_t sizeOf(const std::string& path) {
    try {
        return SourceFile::open(path, ShareMode::Shared).size();
    } catch (const FileError&) {
        return 0;
    }
}

std::optional<DvdTitleSet> titleSet(const std::string& folder, int number) {
    DvdTitleSet set;
    set.number = number;
    const std::optional<std::string> ifo = existing(folder, titleSetFileName(number, 0));
    set.ifoPresent = ifo.has_value();
    set.ifoPath = ifo.value_or(folder + titleSetFileName(number, 0));
    std::vector<std::string> absent;
    for (int part = 1; part <= kLastDvdTitleSetPart; ++part) {
        const std::optional<std::string> vob = existing(folder, titleSetFileName(number, part));
        if (!vob) {
            absent.push_back(titleSetFileName(number, part));
            continue;
        }
        set.missingParts.insert(set.missingParts.end(), absent.begin(), absent.end());
        absent.clear();
        set.parts.push_back(*vob);
        set.bytes += sizeOf(*vob);
    }
    if (!set.ifoPresent && set.parts.empty()) return std::nullopt;
    return set;
}

}  // namespace

DvdTitleSets findDvdTitleSets(const std::string& videoTsFolder) {
    DvdTitleSets found;
    found.folder = withTrailingSeparator(videoTsFolder);
    for (int number = 1; number <= kLastDvdTitleSet; ++number) {
        std::optional<DvdTitleSet> set = titleSet(found.folder, number);
        if (!set) continue;
        if (!found.largest || set->bytes > found.sets[*found.largest].bytes) {
            found.largest = found.sets.size();
        }
        found.sets.push_back(std::move(*set));
    }
    return found;
}

}  // namespace morvale
