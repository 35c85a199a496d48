#include "commands/form.h"

namespace morvale {

int boxNumber(StreamBox box) {
    switch (box.page) {
        case BoxPage::Video: return box.index;
        case BoxPage::Audio: return kVideoBoxes + box.index;
        case BoxPage::Subpicture: return kVideoBoxes + kAudioBoxes + box.index;
    }
    return 0;
}

StreamBox boxAt(int number) {
    if (number < kVideoBoxes) return {BoxPage::Video, number};
    if (number < kVideoBoxes + kAudioBoxes) return {BoxPage::Audio, number - kVideoBoxes};
    return {BoxPage::Subpicture, number - kVideoBoxes - kAudioBoxes};
}

}  // namespace morvale
