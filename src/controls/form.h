// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/read_xpl.h"
#include "engine/progress.h"
#include "engine/stream_kinds.h"
#include "platform/clock.h"

namespace morvale {

// The window's controls as data. The window (TfMain) implements this over its widgets, the
// tests over plain data. The button handlers read a command's settings from it when a button
// is pressed and show the command's results in it.

enum class Button : int { Check, ReadXpl, Demux, Rebuild, Cancel };
inline constexpr int kButtonCount = 5;

enum class Option : int { Continue, FastCheck, CountFrames, Details };
inline constexpr int kOptionCount = 4;

enum class Edit : int { EvoFile, XplFile, Workdir, VideoExt, AudioExt, SubExt };
inline constexpr int kEditCount = 6;

// A page of boxes holds the boxes of one kind of slot.
using BoxPage = SlotKind;

// One of the 40 stream tick boxes: cbVideo0..7, cbAudio00..15, cbSub00..15.
struct StreamBox {
    BoxPage page;
    int index;
    friend bool operator==(const StreamBox&, const StreamBox&) = default;
};
inline constexpr int kVideoBoxes = 8;
inline constexpr int kAudioBoxes = 16;
inline constexpr int kSubpictureBoxes = 16;
inline constexpr int kStreamBoxCount = kVideoBoxes + kAudioBoxes + kSubpictureBoxes;
// 0..39 in the order cbVideo0..7, cbAudio00..15, cbSub00..15.
int boxNumber(StreamBox box);
StreamBox boxAt(int number);

// The pages of the window.
enum class Page { Status, Video, Audio, Subpicture, Xpl, Options };

class Form {
  public:
    virtual ~Form() = default;

    virtual bool isEnabled(Button button) const = 0;
    virtual void setEnabled(Button button, bool enabled) = 0;
    virtual bool isTicked(Option option) const = 0;
    // How Demux writes subpicture streams (the Options page's "Subpicture format"); a form
    // without the choice keeps the records.
    virtual SubpictureFormat subpictureFormat() const { return SubpictureFormat::Records; }
    virtual std::string text(Edit edit) const = 0;
    virtual void setText(Edit edit, const std::string& text) = 0;

    virtual bool boxEnabled(StreamBox box) const = 0;
    virtual void setBoxEnabled(StreamBox box, bool enabled) = 0;
    virtual bool boxTicked(StreamBox box) const = 0;
    // Sets the tick only; the caller raises cbVideoClick when the state changed.
    virtual void setBoxTicked(StreamBox box, bool ticked) = 0;
    virtual std::string boxCaption(StreamBox box) const = 0;
    virtual void setBoxCaption(StreamBox box, const std::string& caption) = 0;
    virtual void setBoxHint(StreamBox box, const std::string& hint) = 0;

    // The message log: one line, unchanged (an empty text adds an empty line).
    virtual void log(std::string_view line) = 0;
    // A status panel: one blank followed by the text.
    virtual void slog(std::string_view text, Panel panel) = 0;
    virtual void showPage(Page page) = 0;
    // How far the running command is, beside the progress text; a form without a bar
    // leaves it out.
    virtual void showProgress(ProgressAmount amount) { (void)amount; }

    // The playlist page: the outline memo and the tree.
    virtual void setXplOutline(const std::vector<std::string>& lines) = 0;
    virtual void setXplOutlineVisible(bool visible) = 0;
    virtual void setXplTree(const std::vector<XplTreeNode>& topNodes) = 0;
    // The disc's titles on the XPL page, a line each, with one chosen: the title Make MKV
    // makes. No lines: the list is empty and nothing is chosen.
    virtual void setDiscTitles(const std::vector<std::string>& lines, std::optional<size_t> chosen) = 0;
    virtual std::optional<size_t> chosenDiscTitle() const = 0;

    // Keeps the other commands, the browse buttons, drops and the stream boxes from being
    // used while a command runs (Cancel stays usable). Unlocking gives every control back
    // the state the commands last set.
    virtual void setLocked(bool locked) = 0;

    virtual void pumpEvents() = 0;
    virtual void repaint() = 0;
    // A modal Yes/No question, No being the default; true for Yes.
    virtual bool askYesNo(std::string_view title, std::string_view text) = 0;
    // A failed file operation's message, shown to the user.
    virtual void showError(std::string_view text) = 0;
    // The user's clock and time format.
    virtual Clock& clock() = 0;
};

}  // namespace morvale
