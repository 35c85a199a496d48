// SPDX-License-Identifier: MIT
#include "export/disc_layout.h"

#include <optional>

#include "export/dvd_title_sets.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace morvale {

namespace {

constexpr std::string_view kEvoFolder = "HVDVD_TS";
constexpr std::string_view kPlaylistFolder = "ADV_OBJ";
constexpr std::string_view kVobFolder = "VIDEO_TS";

char separatorOf(std::string_view path) {
    return path.find('/') == std::string_view::npos && path.find('\\') != std::string_view::npos
               ? '\\'
               : '/';
}

// The folder with its separator at the end.
std::string asFolder(const std::string& path) {
    if (path.empty()) return std::string(".") + '/';
    const char last = path.back();
    return last == '/' || last == '\\' ? path : path + separatorOf(path);
}

// The disc folder above a folder named `name` ("/disc/" of "/disc/HVDVD_TS/", "" of
// "HVDVD_TS/"); nothing when the folder has another name.
std::optional<std::string> discAbove(std::string_view folder, std::string_view name) {
    if (folder.size() < name.size() + 1) return std::nullopt;
    const std::string_view named = folder.substr(0, folder.size() - 1);
    if (!endsWith(named, name)) return std::nullopt;
    const std::string_view above = named.substr(0, named.size() - name.size());
    if (!above.empty() && above.back() != '/' && above.back() != '\\') return std::nullopt;
    return std::string(above);
}

DiscLayout hdDvd(const std::string& disc, char separator) {
    DiscLayout layout;
    layout.kind = DiscKind::HdDvd;
    layout.playlistPath =
        disc + std::string(kPlaylistFolder) + separator + std::string(kHdDvdPlaylistName);
    layout.evoFolder = disc + std::string(kEvoFolder) + separator;
    return layout;
}

DiscLayout dvd(std::string folder) {
    DiscLayout layout;
    layout.kind = DiscKind::Dvd;
    layout.vobFolder = std::move(folder);
    return layout;
}

DiscLayout ofFile(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string extension = upperExtension(path);
    const char separator = separatorOf(path);
    if (extension == ".XPL") {
        const std::optional<std::string> disc = discAbove(folder, kPlaylistFolder);
        DiscLayout layout = hdDvd(disc.value_or(""), separator);
        layout.playlistPath = path;
        if (!disc) layout.evoFolder = folder;  // a playlist kept beside its EVOs
        return layout;
    }
    if (const std::optional<std::string> disc = discAbove(folder, kEvoFolder);
        disc && extension == ".EVO") {
        return hdDvd(*disc, separator);
    }
    if (extension == ".VOB" || extension == ".IFO") return dvd(folder);
    DiscLayout layout;
    layout.error = path + " is no playlist, EVO in HVDVD_TS, VOB or IFO";
    return layout;
}

DiscLayout ofFolder(const std::string& path) {
    const std::string folder = asFolder(path);
    const char separator = folder.back();
    if (std::optional<std::string> disc = discAbove(folder, kEvoFolder)) {
        return hdDvd(*disc, separator);
    }
    if (std::optional<std::string> disc = discAbove(folder, kPlaylistFolder)) {
        return hdDvd(*disc, separator);
    }
    if (discAbove(folder, kVobFolder)) return dvd(folder);
    if (fileExists(folder + std::string(kPlaylistFolder) + separator +
                   std::string(kHdDvdPlaylistName))) {
        return hdDvd(folder, separator);
    }
    const std::string vobFolder = folder + std::string(kVobFolder) + separator;
    if (fileExists(vobFolder + "VIDEO_TS.IFO") || !findDvdTitleSets(vobFolder).sets.empty()) {
        return dvd(vobFolder);
    }
    DiscLayout layout;
    layout.error = "no " + std::string(kPlaylistFolder) + separator +
                   std::string(kHdDvdPlaylistName) + " and no " + std::string(kVobFolder) +
                   " title set in " + folder;
    return layout;
}

}  // namespace

DiscLayout findDiscLayout(const std::string& disc) {
    return fileExists(disc) ? ofFile(disc) : ofFolder(disc);
}

}  // namespace morvale
