// SPDX-License-Identifier: MIT
#include "playlist/outline_reader.h"

#include <algorithm>
#include <optional>

#include "playlist/attribute_lookup.h"

namespace morvale {

namespace {
constexpr uint8_t kControlLimit = 0x20;
constexpr uint32_t kTwoDashes = 0x2D2D;  // "--" closing a comment
}  // namespace

void OutlineReader::feed(std::span<const uint8_t> bytes) {
    for (uint8_t byte : bytes)
        feedByte(byte);
}

void OutlineReader::feedByte(uint8_t byte) {
    if (byte == '<') {
        inTag_ = true;
        ++depth_;
    }
    if (inTag_) {
        if (byte >= kControlLimit) {
            line_ += static_cast<char>(byte);
        } else if (line_.empty() || line_.back() != ' ') {
            line_ += ' ';
        }
    }
    // A closing tag lines up with its opening tag: one level for itself, one for the
    // element it closes.
    if (byte == '/' && (previous_ & 0xFF) == '<') {
        depth_ -= 2;
        line_.erase(0, 2);
    }
    if (byte == '>') endTag();
    previous_ = (previous_ << 8) | byte;
}

void OutlineReader::endTag() {
    inTag_ = false;
    lines_.push_back(line_);
    inspectTag(lines_.back());
    line_.clear();
    // Tags that open no element: empty-element tags, processing instructions, comments.
    // A document type declaration is not among them and shifts every later line.
    uint8_t last = previous_ & 0xFF;
    if (last == '/') --depth_;
    if (last == '?') --depth_;
    if ((previous_ & 0xFFFF) == kTwoDashes) --depth_;
    if (depth_ > 0) line_.assign(2 * static_cast<size_t>(std::min(depth_, kMaxIndentLevels)), ' ');
}

void OutlineReader::inspectTag(std::string_view tag) {
    if (tag.find("Playlist") != std::string_view::npos) {
        GetAttr(tag, "displayName", playlistName_);
    }
    if (tag.find("VideoAttributeItem") != std::string_view::npos) {
        readAttributeItem(tag, codecs_.video, videoCodec_, nullptr);
    }
    if (tag.find("AudioAttributeItem") != std::string_view::npos) {
        readAttributeItem(tag, codecs_.audio, audioCodec_, &audioChannels_);
    }
    if (tag.find("SubpictureAttributeItem") != std::string_view::npos) {
        readAttributeItem(tag, codecs_.subpicture, subpictureCodec_, nullptr);
    }
}

void OutlineReader::readAttributeItem(std::string_view tag, std::array<std::string, 9>& table,
                                      std::string& codecSite, std::string* channelsSite) {
    // An item whose index is missing or names no entry of the table is passed over whole.
    std::string indexText;
    GetAttr(tag, "index", indexText);
    std::optional<int32_t> index = parseDecimalInt(indexText);
    if (!index || !isCodecIndex(*index)) return;

    GetAttr(tag, "codec", codecSite);
    std::string name = codecSite;
    if (channelsSite != nullptr) {
        GetAttr(tag, "channels", *channelsSite);
        if (!channelsSite->empty()) name += "." + *channelsSite + "ch";
    }
    table[static_cast<size_t>(*index)] = std::move(name);
}

}  // namespace morvale
