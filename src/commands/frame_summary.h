#pragma once

#include <cstdint>
#include <string>

#include "commands/form.h"

namespace morvale {

// A picture count as a running time in days (a date-time), computed in extended precision.
// Read EVO takes 1,001/24,000 s per picture, Demux 1/23.976 s: near a whole second the two
// can show different seconds, so each command keeps its own.
long double readEvoRunningDays(int32_t pictures);
long double demuxRunningDays(int32_t pictures);

// "<count> frames (<time of day in the long time format> s) count in video stream <slot>."
std::string frameCountLine(Form& form, int slot, int32_t pictures, long double days);

}  // namespace morvale
