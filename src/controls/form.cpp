// SPDX-License-Identifier: MIT
#include "controls/form.h"

#include <array>

namespace morvale {

namespace {
// The number of the first box of each page.
constexpr std::array<int, 3> kFirstBox = {0, kVideoBoxes, kVideoBoxes + kAudioBoxes};
}  // namespace

int boxNumber(StreamBox box) {
    return kFirstBox[static_cast<size_t>(box.page)] + box.index;
}

StreamBox boxAt(int number) {
    const BoxPage page = number < kFirstBox[1]   ? BoxPage::Video
                         : number < kFirstBox[2] ? BoxPage::Audio
                                                 : BoxPage::Subpicture;
    return {page, number - kFirstBox[static_cast<size_t>(page)]};
}

}  // namespace morvale
