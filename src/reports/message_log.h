// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace morvale {

// Where the engine and the reports write their message-log lines.
class MessageLog {
public:
    virtual ~MessageLog() = default;
    virtual void log(std::string_view line) = 0;
};

}  // namespace morvale
