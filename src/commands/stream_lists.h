#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "commands/form.h"
#include "engine/engine_state.h"

namespace morvale {

// The 34 boxes bound to a slot, in the order every command handles them:
// cbVideo0, cbVideo1, cbAudio00..15, cbSub00..15.
inline constexpr int kSlotBoxCount = 2 + 16 + 16;
StreamBox slotBoxAt(int order);

// The box's slot suffix: ".0"/".1" for video, ".00".."15" for audio and subpicture.
std::string slotSuffix(StreamBox box);
// "No video stream", "No audio stream" or "No subpicture".
const char* emptyCaption(BoxPage page);

// Stream names by the identifier stored in a slot's table entry; empty when unknown.
std::string videoStreamName(int32_t id);
std::string audioStreamName(int32_t id);
std::string subpictureStreamName(int32_t id);
// Whether a scan can name a stream of the page so (the caption without its slot suffix).
bool isBoxName(BoxPage page, std::string_view name);

// The identifier table entry of a box with a slot.
int32_t slotEntry(const EngineState& engine, StreamBox box);

// Puts all 40 boxes into the empty state: disabled, empty-state captions; ticks and hints
// are left as they are (so cbVideoClick does not run).
void Resetcbs(Form& form);
// After a scan: one enabled, ticked, captioned box per found stream; the rest disabled
// and unticked.
void ListFoundStreams(Form& form, const EngineState& engine);
// The click handler of all 40 boxes: Demux follows "any box ticked"; Rebuild follows
// Demux for an ".EVO" source only.
void cbVideoClick(Form& form);
// Sets a box's tick; a change raises cbVideoClick, as a click would.
void setBoxTickedAndNotify(Form& form, StreamBox box, bool ticked);

}  // namespace morvale
