#pragma once

#include <string_view>

#include "commands/selection.h"
#include "controls/form.h"

namespace morvale {

// After every change of the source path (eEVOfile): derives the source names and folders,
// points the playlist at the disc's ADV_OBJ folder when the source lies in HVDVD_TS, and
// switches "Read EVO" and "Read XPL".
void EVOadj(Form& form, Selection& selection);

// After every change of the playlist path (eXPLfile) by browsing or dropping: derives the
// playlist's name and folder, points the EVO dialog at the disc's HVDVD_TS folder when the
// playlist lies in ADV_OBJ, and switches "Read XPL".
void XPLadj(Form& form, Selection& selection);

// What a dropped file is taken for, by its upper-cased extension.
enum class DropKind { Source, Playlist, Ignored };
DropKind dropKindOf(std::string_view path);

// A file dropped on the window: ".EVO" and ".VOB" become the source, ".XPL" the playlist;
// anything else changes nothing. Returns what the file was taken for.
DropKind dropFile(Form& form, Selection& selection, std::string_view path);

}  // namespace morvale
