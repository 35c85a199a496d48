#pragma once

#include <array>
#include <string>

namespace morvale {

// Codec names of the playlist's attribute items by their index 1..8 (entry 0 unused).
// They survive from one reading to the next.
struct XplCodecTables {
    std::array<std::string, 9> video;
    std::array<std::string, 9> audio;  // codec, then "." + channels + "ch" when given
    std::array<std::string, 9> subpicture;
};

}  // namespace morvale
