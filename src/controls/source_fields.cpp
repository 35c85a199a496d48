// SPDX-License-Identifier: MIT
#include "controls/source_fields.h"

#include <string>

#include "controls/stream_boxes.h"
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

void chooseSource(Form& form, Session& session, std::string_view path) {
    form.setText(Edit::EvoFile, std::string(path));
    EVOadj(form, session.selection);
    session.lastScan = {};
    Resetcbs(form);
    form.setEnabled(Button::Demux, false);
    form.setEnabled(Button::Rebuild, false);
    form.slog("", Panel::Progress);
}

DropKind dropFile(Form& form, Session& session, std::string_view path) {
    DropKind kind = dropKindOf(path);
    switch (kind) {
        case DropKind::Source:
            chooseSource(form, session, path);
            break;
        case DropKind::Playlist:
            form.setText(Edit::XplFile, std::string(path));
            XPLadj(form, session.selection);
            break;
        case DropKind::Ignored:
            form.slog(notChosenText(path), Panel::Progress);
            break;
    }
    return kind;
}

std::string notChosenText(std::string_view path) {
    const std::string name = fileNameOf(path);
    if (name.empty()) return "Only .EVO, .VOB and .XPL files can be chosen.";
    return name + " was not chosen: only .EVO, .VOB and .XPL files can be.";
}

bool sourceWasRead(const Session& session, const Form& form) {
    return !session.lastScan.source.empty() && session.lastScan.source == form.text(Edit::EvoFile);
}

void keepWritingOffUntilRead(const Session& session, Form& form) {
    if (sourceWasRead(session, form)) return;
    form.setEnabled(Button::Demux, false);
    form.setEnabled(Button::Rebuild, false);
}

}  // namespace morvale
