// SPDX-License-Identifier: MIT
#pragma once

// The JSON of the disc, its titles and title sets within the feature description
// (description_json.h; docs/feature-description.schema.json documents the fields).

#include <nlohmann/json.hpp>
#include <optional>

#include "export/disc_titles.h"

namespace morvale {

// A title's track as the description writes it: the playlist track's attributes with its
// kind, slot and language. (Defined with the description's JSON.)
nlohmann::json titleTrackJson(const PlaylistTrack& track);

// "disc": null without a disc.
nlohmann::json discJson(const std::optional<DiscTitles>& disc);
// "titles": every title of the disc (empty without one).
nlohmann::json discTitlesJson(const std::optional<DiscTitles>& disc);
// "title_sets": the DVD's title sets (empty without one).
nlohmann::json titleSetsJson(const std::optional<DiscTitles>& disc);

}  // namespace morvale
