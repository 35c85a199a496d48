// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "export/feature_description.h"

namespace morvale {

// The description as JSON for scripts, in the form docs/feature-description.schema.json
// documents ("format": "morvale-feature", "version": 2). Values that are not known are null.
// Text that is not valid UTF-8 has its faulty bytes replaced by U+FFFD. Version 2 adds
// "disc" (null unless the description is of a disc), "titles" and "title_sets" (empty then).
std::string featureDescriptionJson(const FeatureDescription& description);

}  // namespace morvale
