// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "commands/selection.h"
#include "commands/session.h"
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

// A new source, however it was chosen (dropped, browsed, typed, named on the command line):
// its path goes into eEVOfile (EVOadj follows), and what was found in the file before no
// longer holds: the stream boxes go into their empty state (Resetcbs), Demux and Rebuild (and
// with Demux, Make MKV) go off until a Read EVO of this source has listed its streams, and the
// status line's hint to choose a source goes.
void chooseSource(Form& form, Session& session, std::string_view path);

// A file dropped on the window: ".EVO" and ".VOB" become the source (chooseSource), ".XPL" the
// playlist; anything else leaves both as they were, and the status line says so. Returns what
// the file was taken for.
DropKind dropFile(Form& form, Session& session, std::string_view path);

// Demux, Rebuild and Make MKV write what a Read EVO of the chosen source found (its streams
// and its subpicture time base): whatever is ticked, they stay off until one has completed.
bool sourceWasRead(const Session& session, const Form& form);
void keepWritingOffUntilRead(const Session& session, Form& form);

// The status line's word on a file that can be neither source nor playlist:
// "notes.txt was not chosen: only .EVO, .VOB and .XPL files can be."
std::string notChosenText(std::string_view path);

}  // namespace morvale
