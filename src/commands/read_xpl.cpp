#include "commands/read_xpl.h"

#include <span>

#include "commands/command_run.h"
#include "commands/stream_lists.h"
#include "platform/file.h"
#include "playlist/latin1.h"
#include "playlist/outline_reader.h"
#include "playlist/title_listing.h"
#include "playlist/title_selection.h"

namespace morvale {

namespace {

std::vector<std::string> toUtf8(const std::vector<std::string>& lines) {
    std::vector<std::string> converted;
    converted.reserve(lines.size());
    for (const std::string& line : lines)
        converted.push_back(latin1ToUtf8(line));
    return converted;
}

XplTreeNode treeNode(const char* text, const std::vector<std::string>& children) {
    XplTreeNode node{text, {}};
    for (const std::string& child : children)
        node.children.push_back({latin1ToUtf8(child), {}});
    return node;
}

std::vector<XplTreeNode> titleTree(const TitleListing& listing) {
    return {treeNode("Info", listing.info), treeNode("Video", listing.video),
            treeNode("Audio", listing.audio), treeNode("Subtitle", listing.subtitle),
            treeNode("Chapter", listing.chapter)};
}

StreamBox trackBox(const ListedTrack& track) {
    switch (track.kind) {
        case TrackKind::Video:
            return {BoxPage::Video, track.box};
        case TrackKind::Audio:
            return {BoxPage::Audio, track.box};
        case TrackKind::Subtitle:
            return {BoxPage::Subpicture, track.box};
    }
    return {BoxPage::Video, track.box};
}

void announceTrack(Form& form, const ListedTrack& track) {
    std::string text = latin1ToUtf8(track.text);
    form.log(text + " found!");
    if (track.box < 0) return;
    StreamBox box = trackBox(track);
    form.setBoxEnabled(box, true);
    setBoxTickedAndNotify(form, box, true);
    form.setBoxCaption(box, text);
    if (track.kind != TrackKind::Video) form.setBoxHint(box, text);
}

// The file in 262,144-byte blocks through the engine's block buffer, with the progress in
// status panel 1.
void readOutline(SourceFile& file, int64_t size, uint8_t* buffer, OutlineReader& reader,
                 Form& form) {
    const std::string total = "/" + std::to_string(size) + " bytes";
    while (file.position() < size) {
        const int64_t got = file.readSome(buffer, kBlockSize);
        form.slog(std::to_string(file.position()) + total, Panel::Progress);
        reader.feed(std::span<const uint8_t>(buffer, static_cast<size_t>(got)));
    }
}

// The base name is searched in the playlist's own bytes, so it is looked for in Latin-1
// when it can be written so.
std::string sourceNeedle(const std::string& sourceBaseName) {
    return utf8ToLatin1(sourceBaseName).value_or(sourceBaseName);
}

void readPlaylist(Session& session, Form& form) {
    SourceFile file = SourceFile::open(form.text(Edit::XplFile), ShareMode::Shared);
    const int64_t size = file.size();
    form.log("Open " + session.selection.xplFileName);
    form.log("Filesize: " + std::to_string(size) + " bytes");

    form.setXplOutline({});
    form.setXplOutlineVisible(false);
    OutlineReader reader(session.xplCodecs);
    try {
        readOutline(file, size, session.engine.blockBuffer.get(), reader, form);
    } catch (const FileError&) {
        // What was read stays on show; the command ends with the error.
        form.setXplOutline(toUtf8(reader.lines()));
        form.setXplOutlineVisible(true);
        throw;
    }
    file.close();
    session.xplMarks.clear();

    std::vector<std::string> lines = reader.takeLines();
    if (selectTitle(lines, sourceNeedle(session.selection.sourceBaseName))) {
        TitleListing listing = listTitle(lines, reader.playlistName(), session.xplCodecs,
                                         session.xplMarks.spans());
        form.setXplTree(titleTree(listing));
        for (const ListedTrack& track : listing.tracks)
            announceTrack(form, track);
    }

    form.setXplOutline(toUtf8(lines));
    form.setXplOutlineVisible(true);
    logDone(form);
    form.setEnabled(Button::ReadXpl, true);
}

void appendTreeLines(const XplTreeNode& node, const std::string& indent,
                     std::vector<std::string>& lines) {
    lines.push_back(indent + node.text);
    for (const XplTreeNode& child : node.children)
        appendTreeLines(child, indent + "  ", lines);
}

}  // namespace

void bReadXPLClick(Session& session, Form& form) {
    CommandRun run(session, form);
    if (!run.started()) return;
    Resetcbs(form);
    form.setEnabled(Button::ReadXpl, false);
    form.showPage(Page::Xpl);
    runFileWork(form, [&] { readPlaylist(session, form); });
}

std::vector<std::string> xplTreeLines(const std::vector<XplTreeNode>& topNodes) {
    std::vector<std::string> lines;
    for (const XplTreeNode& node : topNodes)
        appendTreeLines(node, "", lines);
    return lines;
}

}  // namespace morvale
