// SPDX-License-Identifier: MIT
#include <algorithm>

#include "export/playlist_model.h"
#include "platform/file.h"

namespace morvale {

PlaylistReading readPlaylistModelFile(const std::string& path, std::string_view sourceBaseName) {
    SourceFile file = SourceFile::open(path, ShareMode::Shared);
    const int64_t size = file.size();
    if (size > kMaxPlaylistBytes) {
        PlaylistReading refused;
        refused.error = playlistTooLargeReason(size);
        return refused;
    }
    // One byte more than the limit, so a file that grew meanwhile is refused too.
    std::vector<uint8_t> bytes(static_cast<size_t>(size) + 1);
    size_t have = 0;
    while (have < bytes.size()) {
        const int64_t got =
            file.read(bytes.data() + have, static_cast<int64_t>(bytes.size() - have));
        if (got <= 0) break;
        have += static_cast<size_t>(got);
        if (have == bytes.size() && static_cast<int64_t>(have) <= kMaxPlaylistBytes) {
            bytes.resize(std::min<size_t>(bytes.size() * 2, size_t(kMaxPlaylistBytes) + 1));
        }
    }
    bytes.resize(have);
    return readPlaylistModel(bytes, sourceBaseName);
}

}  // namespace morvale
