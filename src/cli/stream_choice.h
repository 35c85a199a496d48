#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/form.h"

namespace morvale {

// A stream named on the command line: by slot key (v0 v1 a00..a15 s00..s15) or by the
// caption a scan gives its box (VC-1.stream.0, DD+.stream.00, Subpicture.01). Either way
// the name fixes the box; a caption also fixes what the box must read after the scan.
struct StreamChoice {
    std::string name;
    StreamBox box;
    bool byCaption = false;
};

// Nothing when the name is neither a slot key nor a caption a scan can give.
std::optional<StreamChoice> parseStreamChoice(const std::string& name);

// A comma-separated list; empty items are skipped. The first unknown name is returned in
// `unknown` and the result is then empty.
std::vector<StreamChoice> parseStreamList(const std::string& list, std::string& unknown);

// Ticks exactly the chosen boxes, as clicks would (Demux and Rebuild follow). Returns the
// first choice the scan did not find (a box not listed, or listed with another caption).
std::optional<std::string> applyStreamChoices(Form& form, const std::vector<StreamChoice>& chosen);

}  // namespace morvale
