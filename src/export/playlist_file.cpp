#include "export/playlist_model.h"
#include "platform/file.h"

namespace morvale {

PlaylistReading readPlaylistModelFile(const std::string& path, std::string_view sourceBaseName) {
    SourceFile file = SourceFile::open(path, ShareMode::Shared);
    std::vector<uint8_t> bytes(static_cast<size_t>(file.size()));
    size_t have = 0;
    while (have < bytes.size()) {
        const int64_t got =
            file.read(bytes.data() + have, static_cast<int64_t>(bytes.size() - have));
        if (got <= 0) break;
        have += static_cast<size_t>(got);
    }
    bytes.resize(have);
    return readPlaylistModel(bytes, sourceBaseName);
}

}  // namespace morvale
