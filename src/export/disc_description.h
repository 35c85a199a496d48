// SPDX-License-Identifier: MIT
#pragma once

// The disc's titles in the feature description's form, for its JSON (description_json.h):
// what `morvale-cli titles DISC --json` prints.

#include "export/disc_titles.h"
#include "export/feature_description.h"

namespace morvale {

// A description of no feature (no parts, streams or chosen title) with the disc: its
// playlist's path and error (HD DVD), its titles or its title sets.
FeatureDescription describeDisc(DiscTitles disc);

}  // namespace morvale
