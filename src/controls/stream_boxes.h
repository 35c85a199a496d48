// SPDX-License-Identifier: MIT
#pragma once

#include <vector>

#include "commands/command_settings.h"
#include "commands/stream_names.h"
#include "controls/form.h"
#include "engine/slot_table.h"

namespace morvale {

// The 34 boxes bound to a slot, in the order every command handles them:
// cbVideo0, cbVideo1, cbAudio00..15, cbSub00..15.
StreamBox slotBoxAt(int order);

// "No video stream", "No audio stream" or "No subpicture".
const char* emptyCaption(BoxPage page);

// Puts all 40 boxes into the empty state: disabled, empty-state captions; ticks and hints
// are left as they are (so cbVideoClick does not run).
void Resetcbs(Form& form);
// After a scan: one enabled, ticked, captioned box per found stream; the rest disabled
// and unticked.
void ListFoundStreams(Form& form, const SlotTable& owners);
// The click handler of all 40 boxes: Demux follows "any box ticked"; Rebuild follows
// Demux for an ".EVO" source only.
void cbVideoClick(Form& form);
// Sets a box's tick; a change raises cbVideoClick, as a click would.
void setBoxTickedAndNotify(Form& form, StreamBox box, bool ticked);

// The ticked boxes with a slot, in box order, with their captions as they stand.
std::vector<ChosenBox> tickedBoxes(const Form& form);

}  // namespace morvale
