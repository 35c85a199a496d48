// SPDX-License-Identifier: MIT
#include "playlist/playlist_limits.h"

namespace morvale {

std::string playlistTooLargeReason(int64_t size) {
    return std::to_string(size) + " bytes long, more than the " +
           std::to_string(kMaxPlaylistBytes >> 20) + " MiB a playlist may have";
}

}  // namespace morvale
