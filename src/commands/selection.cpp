#include "commands/selection.h"

#include <string>

#include "platform/paths.h"

namespace morvale {

namespace {

constexpr std::string_view kVideoFolder = "HVDVD_TS";
constexpr std::string_view kPlaylistFolder = "ADV_OBJ";

struct DropRule {
    std::string_view extension;  // upper case, dot included
    DropKind kind;
};
constexpr DropRule kDropRules[] = {
    {".EVO", DropKind::Source},
    {".VOB", DropKind::Source},
    {".XPL", DropKind::Playlist},
};

// When folder ends in disc folder `from` followed by either separator, the same path with
// `to` in its place, keeping the separator; empty otherwise. Exact and case-sensitive, as
// the disc's own folder names are.
std::string siblingFolder(std::string_view folder, std::string_view from, std::string_view to) {
    if (folder.empty()) return {};
    char separator = folder.back();
    if (separator != '/' && separator != '\\') return {};
    std::string_view named = folder.substr(0, folder.size() - 1);
    if (!endsWith(named, from)) return {};
    std::string sibling(named.substr(0, named.size() - from.size()));
    sibling += to;
    sibling += separator;
    return sibling;
}

}  // namespace

void EVOadj(Form& form, Selection& selection) {
    const std::string source = form.text(Edit::EvoFile);
    form.setEnabled(Button::Check, !source.empty());

    selection.sourceFileName = fileNameOf(source);
    const std::string& name = selection.sourceFileName;
    selection.sourceBaseName = name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
    selection.evoFolder = folderOf(source);

    std::string playlistFolder = siblingFolder(selection.evoFolder, kVideoFolder, kPlaylistFolder);
    if (!playlistFolder.empty()) {
        selection.xplFolder = playlistFolder;
        selection.xplFileName = std::string(kPlaylistName);
        form.setText(Edit::XplFile, selection.xplFolder + selection.xplFileName);
    }
    form.setEnabled(Button::ReadXpl, !selection.xplFileName.empty());
}

void XPLadj(Form& form, Selection& selection) {
    const std::string playlist = form.text(Edit::XplFile);
    selection.xplFileName = fileNameOf(playlist);
    selection.xplFolder = folderOf(playlist);
    form.setEnabled(Button::ReadXpl, !selection.xplFileName.empty());

    std::string videoFolder = siblingFolder(selection.xplFolder, kPlaylistFolder, kVideoFolder);
    if (!videoFolder.empty()) selection.evoFolder = videoFolder;
}

DropKind dropKindOf(std::string_view path) {
    const std::string extension = upperExtension(path);
    for (const DropRule& rule : kDropRules) {
        if (extension == rule.extension) return rule.kind;
    }
    return DropKind::Ignored;
}

DropKind dropFile(Form& form, Selection& selection, std::string_view path) {
    DropKind kind = dropKindOf(path);
    switch (kind) {
        case DropKind::Source:
            form.setText(Edit::EvoFile, std::string(path));
            EVOadj(form, selection);
            break;
        case DropKind::Playlist:
            form.setText(Edit::XplFile, std::string(path));
            XPLadj(form, selection);
            break;
        case DropKind::Ignored:
            break;
    }
    return kind;
}

}  // namespace morvale
