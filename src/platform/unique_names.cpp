// SPDX-License-Identifier: MIT
#include "platform/unique_names.h"

#include <sys/random.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>

namespace morvale {

namespace {

constexpr size_t kMaxName = 255;
constexpr std::string_view kMark = ".morvale-";
constexpr size_t kRandomLetters = 6;
constexpr std::string_view kLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string randomLetters() {
    std::array<uint8_t, kRandomLetters> bytes{};
    if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        // Names need only differ, not be secret: the clock and the process will do.
        uint64_t x =
            static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            (static_cast<uint64_t>(::getpid()) << 32);
        for (uint8_t& byte : bytes) {
            x = x * 6364136223846793005ULL + 1442695040888963407ULL;
            byte = static_cast<uint8_t>(x >> 56);
        }
    }
    std::string letters;
    for (const uint8_t byte : bytes)
        letters += kLetters[byte % kLetters.size()];
    return letters;
}

}  // namespace

std::string hiddenNameBeside(std::string_view name) {
    const size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string_view::npos && dot > 0;
    std::string stem(hasExtension ? name.substr(0, dot) : name);
    std::string extension(hasExtension ? name.substr(dot) : std::string_view());
    const size_t fixed = 1 + kMark.size() + kRandomLetters;
    if (fixed + extension.size() >= kMaxName) extension.clear();
    size_t room = kMaxName - fixed - extension.size();
    if (stem.size() > room) {
        while (room > 0 && (static_cast<uint8_t>(stem[room]) & 0xC0) == 0x80)
            --room;
        stem.resize(room);
    }
    return "." + stem + std::string(kMark) + randomLetters() + extension;
}

}  // namespace morvale
