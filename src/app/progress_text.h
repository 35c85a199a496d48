#pragma once

#include <optional>

#include <QString>

namespace morvale {

// How far a run is, as its progress text tells it: "424/1024 Mbytes, Remaining time: ..."
// (Read EVO, Demux), "Rebuilding FEATURE_1.EVO 424/1024 Mbytes, ...".
struct ProgressMegabytes {
    int done = 0;
    int total = 0;
};

// The mebibytes done and in all, or nothing for another text (such as the playlist's
// byte count) or a source too small to count in mebibytes.
std::optional<ProgressMegabytes> progressMegabytes(const QString& text);

}  // namespace morvale
