// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/plain_form.h"
#include "commands/selection.h"
#include "controls/source_fields.h"
#include "commands/session.h"
#include "controls/stream_boxes.h"
#include "support/feature_disc.h"
#include "support/temp_dir.h"

namespace morvale::testing {

using Lines = std::vector<std::string>;

// A PlainForm that also keeps the status texts in order ("0:Reading X") and the titles of
// the questions, on a fixed clock.
class TestForm : public PlainForm {
  public:
    TestForm() {
        nowDays = [] { return 45000.5; };
    }
    Lines statusTexts;
    Lines questionTitles;

    bool askYesNo(std::string_view title, std::string_view text) override {
        questionTitles.emplace_back(title);
        return PlainForm::askYesNo(title, text);
    }

  protected:
    void onStatus(std::string_view text, Panel panel) override {
        statusTexts.push_back(std::to_string(static_cast<int>(panel)) + ":" + std::string(text));
    }
};

// A window just shown (boxes in their empty state) over a fresh session and a folder.
class CommandTest : public ::testing::Test {
  protected:
    TempDir dir;
    Session session;
    TestForm form;

    CommandTest() { Resetcbs(form); }

    // The source chosen as by browsing.
    void choose(const std::string& path) {
        form.setText(Edit::EvoFile, path);
        EVOadj(form, session.selection);
    }

    // Writes a part of a feature as a file of at least one megabyte, so the first block is
    // whole and its system header is reported.
    FeaturePart writeFeature(const std::string& name, const FeatureOptions& options = {},
                             uint64_t size = 0x100000) {
        FeaturePart part = featurePart(options);
        writePart(dir.file(name), part, size);
        return part;
    }

    Lines lines() const { return form.logLines(); }

    // The captions of the enabled boxes, in box order.
    Lines listedCaptions() const {
        Lines captions;
        for (int order = 0; order < kSlotBoxCount; ++order) {
            StreamBox box = slotBoxAt(order);
            if (form.boxEnabled(box)) captions.push_back(form.boxCaption(box));
        }
        return captions;
    }
};

}  // namespace morvale::testing
