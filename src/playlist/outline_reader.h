// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/codec_tables.h"

namespace morvale {

// Cuts the playlist, byte by byte, into one outline line per tag, indented by two blanks
// per open element, and picks up the playlist's display name and the codec names of its
// attribute items on the way. Bytes outside tags are not shown; a control byte inside a tag
// becomes one blank (a run of them, or one after a blank, adds nothing). The file is fed
// block by block: a tag may run over a block's end.
//
// Lines are the file's own bytes, as they stand (shown as utf8OrLatin1 reads them).
class OutlineReader {
  public:
    // Deeper nesting than this is not indented further. Real playlists nest a dozen levels;
    // a binary file read by mistake would otherwise make lines (and memory) grow with the
    // square of its size.
    static constexpr int64_t kMaxIndentLevels = 255;

    // The codec tables are updated in place and keep what earlier readings put there.
    explicit OutlineReader(XplCodecTables& codecs) : codecs_(codecs) {}

    void feed(std::span<const uint8_t> bytes);

    const std::vector<std::string>& lines() const { return lines_; }
    std::vector<std::string> takeLines() { return std::move(lines_); }
    // The displayName of the latest tag naming "Playlist" that had one.
    const std::string& playlistName() const { return playlistName_; }

  private:
    void feedByte(uint8_t byte);
    void endTag();
    void inspectTag(std::string_view tag);
    void readAttributeItem(std::string_view tag, std::array<std::string, 9>& table,
                           std::string& codecSite, std::string* channelsSite);

    XplCodecTables& codecs_;
    std::vector<std::string> lines_;
    std::string line_;
    int64_t depth_ = 0;
    bool inTag_ = false;
    uint32_t previous_ = 0;  // the bytes before the current one, the latest in the low byte
    std::string playlistName_;
    // Every lookup keeps its own result from one tag to the next.
    std::string videoCodec_;
    std::string audioCodec_;
    std::string audioChannels_;
    std::string subpictureCodec_;
};

}  // namespace morvale
