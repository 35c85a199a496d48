#include "controls/source_fields.h"

#include <string>

#include "platform/paths.h"

namespace morvale {

namespace {

struct DropRule {
    std::string_view extension;  // upper case, dot included
    DropKind kind;
};
constexpr DropRule kDropRules[] = {
    {".EVO", DropKind::Source},
    {".VOB", DropKind::Source},
    {".XPL", DropKind::Playlist},
};

}  // namespace

void EVOadj(Form& form, Selection& selection) {
    const std::string source = form.text(Edit::EvoFile);
    form.setEnabled(Button::Check, !source.empty());

    selection.sourceFileName = sourceFileNameOf(source);
    selection.sourceBaseName = sourceBaseNameOf(source);
    selection.evoFolder = folderOf(source);

    const std::string playlist = discPlaylistOf(source);
    if (!playlist.empty()) {
        selection.xplFolder = folderOf(playlist);
        selection.xplFileName = fileNameOf(playlist);
        form.setText(Edit::XplFile, playlist);
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
