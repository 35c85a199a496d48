// SPDX-License-Identifier: MIT
#pragma once

// The titles of the playlist's XML in one walk (within the export library only).

#include <map>
#include <string>
#include <vector>

#include "export/playlist_model.h"
#include "export/playlist_xml.h"

namespace morvale {

// The attribute items of the MediaAttributeList, by kind and index.
struct AttributeItem {
    std::string codec;
    std::string channels;
    std::string sampleFrequency;
    std::string frameRate;
};
struct AttributeItems {
    std::map<int, AttributeItem> video, audio, subpicture;
};

// The first attribute item of each kind and index, wherever it stands.
AttributeItems readAttributeItems(const pugi::xml_document& doc);

// Every Title element of the document in document order, as playlist_model.h describes.
std::vector<PlaylistTitle> readTitles(const pugi::xml_document& doc, const AttributeItems& items);

}  // namespace morvale
