#pragma once

#include <string>

#include "commands/form.h"
#include "commands/session.h"

namespace morvale {

// "Demux": writes every ticked stream of the source into an elementary-stream file of its
// own, over both parts of a split feature, and logs the picture counts. A file that cannot
// be opened, created, read or written shows the file error; every file is closed with what
// was written, no "Done." is logged and Demux and Rebuild stay disabled.
void bDemuxClick(Session& session, Form& form);

// The output name of a box with a slot: <output base>.<caption>.<extension of its page>.
std::string demuxOutputName(const Form& form, const std::string& outputBase, StreamBox box);

}  // namespace morvale
