// SPDX-License-Identifier: MIT
#include "export/disc_description.h"

namespace morvale {

FeatureDescription describeDisc(DiscTitles disc) {
    FeatureDescription description;
    if (disc.layout.kind == DiscKind::HdDvd) {
        description.playlistPath = disc.layout.playlistPath;
        description.playlistError = disc.error;
    }
    description.disc = std::move(disc);
    return description;
}

}  // namespace morvale
