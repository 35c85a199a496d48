// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_host.h"
#include "engine/stream_kinds.h"

namespace morvale::testing {

// An EngineHost that records what the engine shows and holds what a test sets: the options
// and ticks its calls run with (support/engine_ledger.h), the clock, and what happens when
// events are pumped (a Cancel click).
class RecordingEngineHost : public EngineHost, public Clock {
  public:
    // What the engine did.
    std::vector<std::string> lines;          // log lines in order
    std::vector<std::string> progressTexts;  // texts of status panel 1 in order
    std::vector<bool> cancelEnabledChanges;  // every setCancelEnabled in order
    int pumpCount = 0;
    int repaintCount = 0;

    // What the calls run with.
    bool countFramesOption = false;
    bool detailsOption = false;
    bool fastCheckOption = false;
    std::array<bool, 2> videoTicks{};
    std::array<bool, 16> audioTicks{};
    std::array<bool, 16> subpictureTicks{};
    char separator = '.';
    // The clock, in days since 1899-12-30; a fixed time unless the test sets another.
    std::function<double()> nowDays = [] { return 45000.5; };
    // Runs at every event pump, after pumpCount is raised (e.g. to request Cancel).
    std::function<void()> onPump;

    void tickAll();

    void log(std::string_view line) override { lines.emplace_back(line); }
    void progress(std::string_view text, ProgressAmount) override {
        progressTexts.emplace_back(text);
    }
    void pumpEvents() override;
    void repaint() override { ++repaintCount; }
    void setCancelEnabled(bool enabled) override { cancelEnabledChanges.push_back(enabled); }

    bool ticked(SlotKind kind, int slot) const {
        switch (kind) {
            case SlotKind::Video:
                return tickIn(videoTicks, slot);
            case SlotKind::Audio:
                return tickIn(audioTicks, slot);
            case SlotKind::Subpicture:
                break;
        }
        return tickIn(subpictureTicks, slot);
    }

    // nowDays and separator; times as h:mm:ss, the long time format of the C locale.
    Clock& clock() override { return *this; }
    double now() override { return nowDays(); }
    std::string formatLongTime(double days) override;
    char decimalSeparator() const override { return separator; }

  private:
    template <size_t N>
    static bool tickIn(const std::array<bool, N>& ticks, int slot) {
        return slot >= 0 && static_cast<size_t>(slot) < N && ticks[static_cast<size_t>(slot)];
    }
};

}  // namespace morvale::testing
