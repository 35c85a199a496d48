// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "commands/command_host.h"
#include "commands/command_settings.h"
#include "commands/session.h"

namespace morvale {

// "Demux": writes every chosen stream of the source into an elementary-stream file of its
// own, over both parts of a split feature, and logs the picture counts. A file that cannot
// be opened, created, read or written shows the file error; every file is closed with what
// was written and no "Done." is logged. True when the run ended with "Done.".
bool demuxFeature(Session& session, const CommandSettings& settings, CommandHost& host);

// The output name of a chosen box: <output base>.<caption>.<extension of its kind>.
std::string demuxOutputName(const CommandSettings& settings, const std::string& outputBase,
                            const ChosenBox& box);

}  // namespace morvale
