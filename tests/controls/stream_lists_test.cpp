// SPDX-License-Identifier: MIT
#include "controls/stream_boxes.h"

#include <gtest/gtest.h>

#include "support/plain_form.h"

namespace morvale {
namespace {

constexpr StreamBox kVideo0{BoxPage::Video, 0};
constexpr StreamBox kAudio01{BoxPage::Audio, 1};
constexpr StreamBox kSub00{BoxPage::Subpicture, 0};

// Counts the handler's runs by watching the Demux button being set.
class CountingForm : public PlainForm {
public:
    void setEnabled(Button button, bool enabled) override {
        if (button == Button::Demux) ++demuxSets;
        PlainForm::setEnabled(button, enabled);
    }
    int demuxSets = 0;
};

TEST(StreamListsTest, ResetcbsEmptiesCaptionsAndDisablesButKeepsTicks) {
    PlainForm form;
    form.setBoxEnabled(kAudio01, true);
    form.setBoxTicked(kAudio01, true);
    form.setBoxCaption(kAudio01, "DD.stream.01");
    form.setEnabled(Button::Demux, true);
    Resetcbs(form);
    for (int n = 0; n < kStreamBoxCount; ++n) {
        StreamBox box = boxAt(n);
        EXPECT_FALSE(form.boxEnabled(box)) << n;
        EXPECT_EQ(form.boxCaption(box), emptyCaption(box.page)) << n;
    }
    EXPECT_EQ(form.boxCaption({BoxPage::Video, 7}), "No video stream");
    EXPECT_EQ(form.boxCaption({BoxPage::Audio, 15}), "No audio stream");
    EXPECT_EQ(form.boxCaption({BoxPage::Subpicture, 15}), "No subpicture");
    EXPECT_TRUE(form.boxTicked(kAudio01));
    EXPECT_TRUE(form.isEnabled(Button::Demux));
}

TEST(StreamListsTest, ListFoundStreamsTicksAndNamesExactlyTheFoundSlots) {
    CountingForm form;
    form.setText(Edit::EvoFile, "/d/HVDVD_TS/FEATURE_1.EVO");
    SlotTable slots;
    slots.ids(SlotKind::Video)[0] = 0xE0;
    slots.ids(SlotKind::Audio)[1] = 0x81;
    slots.ids(SlotKind::Subpicture)[0] = 0x20;
    slots.ids(SlotKind::Subpicture)[20] = 0x34;  // slot without a box
    form.setBoxTicked({BoxPage::Audio, 5}, true);  // left over from an earlier run
    Resetcbs(form);
    ListFoundStreams(form, slots);

    for (int n = 0; n < kStreamBoxCount; ++n) {
        StreamBox box = boxAt(n);
        bool found = box == kVideo0 || box == kAudio01 || box == kSub00;
        EXPECT_EQ(form.boxEnabled(box), found) << n;
        EXPECT_EQ(form.boxTicked(box), found) << n;
        if (!found) {
            EXPECT_EQ(form.boxCaption(box), emptyCaption(box.page)) << n;
        }
    }
    EXPECT_EQ(form.boxCaption(kVideo0), "MPEG-2.stream.0");
    EXPECT_EQ(form.boxCaption(kAudio01), "DD.stream.01");
    EXPECT_EQ(form.boxCaption(kSub00), "Subpicture.00");
    EXPECT_TRUE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    // Four changes of a tick: three boxes ticked, one unticked.
    EXPECT_EQ(form.demuxSets, 4);
}

TEST(StreamListsTest, CaptionsCarryTheNameOfTheStoredIdentifier) {
    PlainForm form;
    SlotTable slots;
    slots.ids(SlotKind::Video)[1] = 0x56;
    slots.ids(SlotKind::Audio)[0] = 0x88;
    slots.ids(SlotKind::Audio)[9] = 0xC9;
    slots.ids(SlotKind::Audio)[2] = 0xA2;
    slots.ids(SlotKind::Audio)[3] = 0xB3;
    slots.ids(SlotKind::Subpicture)[15] = 0x6F;
    ListFoundStreams(form, slots);
    EXPECT_EQ(form.boxCaption({BoxPage::Video, 1}), "VC-1.stream.1");
    EXPECT_EQ(form.boxCaption({BoxPage::Audio, 0}), "DTSHD.stream.00");
    EXPECT_EQ(form.boxCaption({BoxPage::Audio, 9}), "DD+.stream.09");
    EXPECT_EQ(form.boxCaption({BoxPage::Audio, 2}), "LPCM.stream.02");
    EXPECT_EQ(form.boxCaption({BoxPage::Audio, 3}), "MLP.stream.03");
    EXPECT_EQ(form.boxCaption({BoxPage::Subpicture, 15}), "Ext.Subpicture.15");
}

TEST(StreamListsTest, StreamNamesCoverTheirRangesOnly) {
    EXPECT_EQ(boxNameOf(SlotKind::Video, 0x55), "VC-1.stream");
    EXPECT_EQ(boxNameOf(SlotKind::Video, 0x57), "");
    EXPECT_EQ(boxNameOf(SlotKind::Video, 0xE3), "H.264.stream");
    EXPECT_EQ(boxNameOf(SlotKind::Audio, 0x8F), "DTSHD.stream");
    EXPECT_EQ(boxNameOf(SlotKind::Audio, 0xA8), "");
    EXPECT_EQ(boxNameOf(SlotKind::Audio, 0xCF), "DD+.stream");
    EXPECT_EQ(boxNameOf(SlotKind::Subpicture, 0x2F), "Subpicture");
    EXPECT_EQ(boxNameOf(SlotKind::Subpicture, 0x30), "");
    EXPECT_EQ(boxNameOf(SlotKind::Subpicture, 1), "");
}

TEST(StreamListsTest, UntickingTheLastBoxSwitchesDemuxAndRebuildOffForAnEvoSource) {
    PlainForm form;
    form.setText(Edit::EvoFile, "/d/feature_1.evo");  // lower case counts as .EVO
    form.setBoxTicked(kVideo0, true);
    cbVideoClick(form);
    EXPECT_TRUE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
    setBoxTickedAndNotify(form, kVideo0, false);
    EXPECT_FALSE(form.isEnabled(Button::Demux));
    EXPECT_FALSE(form.isEnabled(Button::Rebuild));
}

TEST(StreamListsTest, AVobSourceNeverTouchesRebuild) {
    PlainForm form;
    form.setText(Edit::EvoFile, "/d/FEATURE_1.VOB");
    form.setEnabled(Button::Rebuild, true);
    setBoxTickedAndNotify(form, kVideo0, true);
    EXPECT_TRUE(form.isEnabled(Button::Demux));
    setBoxTickedAndNotify(form, kVideo0, false);
    EXPECT_FALSE(form.isEnabled(Button::Demux));
    EXPECT_TRUE(form.isEnabled(Button::Rebuild));
}

TEST(StreamListsTest, BoxesWithoutASlotStillCountAsTicked) {
    PlainForm form;
    form.setBoxTicked({BoxPage::Video, 7}, true);
    cbVideoClick(form);
    EXPECT_TRUE(form.isEnabled(Button::Demux));
}

}  // namespace
}  // namespace morvale
