// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace morvale {

// The largest playlist the program reads. Playlists of retail discs are well below 1 MiB;
// an XML tree of a file this size already takes several hundred MiB of memory, so a larger
// file (a wrong file chosen, or one made to exhaust memory) is refused before it is read.
inline constexpr int64_t kMaxPlaylistBytes = int64_t{64} << 20;

// Why a playlist of `size` bytes is not read, to follow its file name and "is":
// "104857600 bytes long, more than the 64 MiB a playlist may have".
std::string playlistTooLargeReason(int64_t size);

}  // namespace morvale
