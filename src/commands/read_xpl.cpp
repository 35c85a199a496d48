// SPDX-License-Identifier: MIT
#include "commands/read_xpl.h"

#include <memory>
#include <span>

#include "commands/command_run.h"
#include "commands/selection.h"
#include "engine/demux.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "playlist/latin1.h"
#include "playlist/outline_reader.h"
#include "playlist/playlist_text.h"
#include "playlist/title_selection.h"

namespace morvale {

namespace {

// The playlist's bytes as text: UTF-8 where they are UTF-8 (as XPL files declare), Latin-1
// where they are not, as everything the program hands on reads them.
std::vector<std::string> toUtf8(const std::vector<std::string>& lines) {
    std::vector<std::string> converted;
    converted.reserve(lines.size());
    for (const std::string& line : lines)
        converted.push_back(utf8OrLatin1(line));
    return converted;
}

XplTreeNode treeNode(const char* text, const std::vector<std::string>& children) {
    XplTreeNode node{text, {}};
    for (const std::string& child : children)
        node.children.push_back({utf8OrLatin1(child), {}});
    return node;
}

std::vector<XplTreeNode> titleTree(const TitleListing& listing) {
    return {treeNode("Info", listing.info), treeNode("Video", listing.video),
            treeNode("Audio", listing.audio), treeNode("Subtitle", listing.subtitle),
            treeNode("Chapter", listing.chapter)};
}

// The file in 262,144-byte blocks, with the progress in status panel 1.
void readOutline(SourceFile& file, int64_t size, OutlineReader& reader, CommandHost& host) {
    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kBlockSize);
    const std::string total = "/" + std::to_string(size) + " bytes";
    while (file.position() < size) {
        const int64_t got = file.readSome(buffer.get(), kBlockSize);
        host.slog(std::to_string(file.position()) + total, Panel::Progress);
        reader.feed(std::span<const uint8_t>(buffer.get(), static_cast<size_t>(got)));
    }
}

// The base name is searched in the playlist's own bytes: as it is (UTF-8), and in Latin-1
// when it can be written so and the playlist does not hold it in UTF-8.
bool selectSourceTitle(std::vector<std::string>& lines, const std::string& sourceBaseName) {
    if (selectTitle(lines, sourceBaseName)) return true;
    const std::optional<std::string> latin1 = utf8ToLatin1(sourceBaseName);
    return latin1 && *latin1 != sourceBaseName && selectTitle(lines, *latin1);
}

void readPlaylist(Session& session, const CommandSettings& settings, CommandHost& host,
                  XplOutcome& outcome) {
    SourceFile file = SourceFile::open(settings.playlist, ShareMode::Shared);
    const int64_t size = file.size();
    host.log("Open " + fileNameOf(settings.playlist));
    host.log("Filesize: " + std::to_string(size) + " bytes");

    outcome.outline.emplace();
    OutlineReader reader(session.xplCodecs);
    try {
        readOutline(file, size, reader, host);
    } catch (const FileError&) {
        // What was read stays on show; the command ends with the error.
        outcome.outline = toUtf8(reader.lines());
        throw;
    }
    file.close();
    session.xplMarks.clear();

    std::vector<std::string> lines = reader.takeLines();
    if (selectSourceTitle(lines, sourceBaseNameOf(settings.source))) {
        TitleListing listing = listTitle(lines, reader.playlistName(), session.xplCodecs,
                                         session.xplMarks.spans());
        outcome.tree = titleTree(listing);
        for (ListedTrack& track : listing.tracks) {
            track.text = utf8OrLatin1(track.text);
            host.log(track.text + " found!");
            outcome.tracks.push_back(std::move(track));
        }
    }
    outcome.outline = toUtf8(lines);
    logDone(host);
    outcome.completed = true;
}

void appendTreeLines(const XplTreeNode& node, const std::string& indent,
                     std::vector<std::string>& lines) {
    lines.push_back(indent + node.text);
    for (const XplTreeNode& child : node.children)
        appendTreeLines(child, indent + "  ", lines);
}

}  // namespace

XplOutcome readXpl(Session& session, const CommandSettings& settings, CommandHost& host) {
    XplOutcome outcome;
    runFileWork(host, [&] { readPlaylist(session, settings, host, outcome); });
    return outcome;
}

std::vector<std::string> xplTreeLines(const std::vector<XplTreeNode>& topNodes) {
    std::vector<std::string> lines;
    for (const XplTreeNode& node : topNodes)
        appendTreeLines(node, "", lines);
    return lines;
}

}  // namespace morvale
