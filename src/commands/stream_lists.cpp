#include "commands/stream_lists.h"

#include <cstdio>

#include "platform/paths.h"

namespace morvale {

namespace {

struct NameRange {
    int first;
    int last;
    const char* name;
};

constexpr NameRange kVideoNames[] = {
    {0x55, 0x56, "VC-1.stream"},
    {0xE0, 0xE1, "MPEG-2.stream"},
    {0xE2, 0xE3, "H.264.stream"},
};
constexpr NameRange kAudioNames[] = {
    {0x80, 0x87, "DD.stream"},   {0x88, 0x8F, "DTSHD.stream"}, {0xA0, 0xA7, "LPCM.stream"},
    {0xB0, 0xB7, "MLP.stream"},  {0xC0, 0xCF, "DD+.stream"},
};
constexpr NameRange kSubpictureNames[] = {
    {0x20, 0x2F, "Subpicture"},
    {0x60, 0x6F, "Ext.Subpicture"},
};

template <size_t N>
std::string nameIn(const NameRange (&table)[N], int32_t id) {
    for (const NameRange& range : table) {
        if (id >= range.first && id <= range.last) return range.name;
    }
    return {};
}

}  // namespace

StreamBox slotBoxAt(int order) {
    if (order < 2) return {BoxPage::Video, order};
    if (order < 18) return {BoxPage::Audio, order - 2};
    return {BoxPage::Subpicture, order - 18};
}

std::string slotSuffix(StreamBox box) {
    char text[8];
    if (box.page == BoxPage::Video) {
        std::snprintf(text, sizeof text, ".%d", box.index);
    } else {
        std::snprintf(text, sizeof text, ".%02d", box.index);
    }
    return text;
}

const char* emptyCaption(BoxPage page) {
    switch (page) {
        case BoxPage::Video: return "No video stream";
        case BoxPage::Audio: return "No audio stream";
        case BoxPage::Subpicture: return "No subpicture";
    }
    return "";
}

std::string videoStreamName(int32_t id) { return nameIn(kVideoNames, id); }
std::string audioStreamName(int32_t id) { return nameIn(kAudioNames, id); }
std::string subpictureStreamName(int32_t id) { return nameIn(kSubpictureNames, id); }

int32_t slotEntry(const EngineState& engine, StreamBox box) {
    switch (box.page) {
        case BoxPage::Video: return engine.videoStreamIds[box.index];
        case BoxPage::Audio: return engine.audioStreamIds[box.index];
        case BoxPage::Subpicture: return engine.subpictureStreamIds[box.index];
    }
    return -1;
}

void Resetcbs(Form& form) {
    for (int n = 0; n < kStreamBoxCount; ++n) {
        StreamBox box = boxAt(n);
        form.setBoxEnabled(box, false);
        form.setBoxCaption(box, emptyCaption(box.page));
    }
}

void ListFoundStreams(Form& form, const EngineState& engine) {
    for (int order = 0; order < kSlotBoxCount; ++order) {
        StreamBox box = slotBoxAt(order);
        int32_t entry = slotEntry(engine, box);
        bool found = entry >= 0;
        form.setBoxEnabled(box, found);
        setBoxTickedAndNotify(form, box, found);
        if (!found) continue;
        std::string name;
        switch (box.page) {
            case BoxPage::Video: name = videoStreamName(entry); break;
            case BoxPage::Audio: name = audioStreamName(entry); break;
            case BoxPage::Subpicture: name = subpictureStreamName(entry); break;
        }
        form.setBoxCaption(box, name + slotSuffix(box));
    }
}

void cbVideoClick(Form& form) {
    bool any = false;
    for (int n = 0; n < kStreamBoxCount && !any; ++n) any = form.boxTicked(boxAt(n));
    form.setEnabled(Button::Demux, any);
    if (upperExtension(form.text(Edit::EvoFile)) == ".EVO") {
        form.setEnabled(Button::Rebuild, form.isEnabled(Button::Demux));
    }
}

void setBoxTickedAndNotify(Form& form, StreamBox box, bool ticked) {
    if (form.boxTicked(box) == ticked) return;
    form.setBoxTicked(box, ticked);
    cbVideoClick(form);
}

}  // namespace morvale
