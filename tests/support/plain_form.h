// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "controls/form.h"

namespace morvale {

// The controls as plain data, in the window's design state: the form of morvale-cli and
// of the core's tests. Subclasses watch the log and the status panels through the hooks.
class PlainForm : public Form, public SystemClock {
public:
    struct BoxState {
        bool enabled = false;
        bool ticked = false;
        std::string caption;
        std::string hint;
    };

    PlainForm();

    bool isEnabled(Button button) const override;
    void setEnabled(Button button, bool enabled) override;
    bool isTicked(Option option) const override;
    void setTicked(Option option, bool ticked);
    std::string text(Edit edit) const override;
    void setText(Edit edit, const std::string& text) override;

    bool boxEnabled(StreamBox box) const override;
    void setBoxEnabled(StreamBox box, bool enabled) override;
    bool boxTicked(StreamBox box) const override;
    void setBoxTicked(StreamBox box, bool ticked) override;
    std::string boxCaption(StreamBox box) const override;
    void setBoxCaption(StreamBox box, const std::string& caption) override;
    std::string boxHint(StreamBox box) const;
    void setBoxHint(StreamBox box, const std::string& hint) override;

    void log(std::string_view line) override;
    void slog(std::string_view text, Panel panel) override;
    void showPage(Page page) override { page_ = page; }

    void setXplOutline(const std::vector<std::string>& lines) override { outline_ = lines; }
    void setXplOutlineVisible(bool visible) override { outlineVisible_ = visible; }
    void setXplTree(const std::vector<XplTreeNode>& topNodes) override { tree_ = topNodes; }
    void setDiscTitles(const std::vector<std::string>& lines, std::optional<size_t> chosen) override {
        discTitles_ = lines;
        chosenTitle_ = chosen;
    }
    std::optional<size_t> chosenDiscTitle() const override { return chosenTitle_; }
    void chooseDiscTitle(std::optional<size_t> title) { chosenTitle_ = title; }
    const std::vector<std::string>& discTitles() const { return discTitles_; }

    void setLocked(bool locked) override { locked_ = locked; }

    void pumpEvents() override;
    void repaint() override {}
    bool askYesNo(std::string_view title, std::string_view text) override;
    void showError(std::string_view text) override;

    // The wall clock, or nowDays where set; times as h:mm:ss, '.' as separator.
    Clock& clock() override { return *this; }
    double now() override { return nowDays ? nowDays() : SystemClock::now(); }

    // Observable state.
    const std::vector<std::string>& logLines() const { return log_; }
    void clearLog() { log_.clear(); }
    // Panel 0 (State) or 1 (Progress).
    const std::string& panelText(int panel) const { return panels_[panel == 0 ? 0 : 1]; }
    Page page() const { return page_; }
    const std::vector<std::string>& xplOutline() const { return outline_; }
    bool xplOutlineVisible() const { return outlineVisible_; }
    const std::vector<XplTreeNode>& xplTree() const { return tree_; }
    bool locked() const { return locked_; }
    const std::vector<std::string>& errors() const { return errors_; }
    const std::vector<std::string>& questions() const { return questions_; }

    // Test and CLI hooks.
    std::function<double()> nowDays;           // replaces the wall clock when set
    std::function<void()> onPump;              // runs at every event pump
    std::function<bool(std::string_view)> answer;  // Yes/No answers; No when unset

protected:
    virtual void onLog(std::string_view /*line*/) {}
    virtual void onStatus(std::string_view /*text*/, Panel /*panel*/) {}
    virtual void onError(std::string_view /*text*/) {}

private:
    std::array<bool, kButtonCount> buttons_{};
    std::array<bool, kOptionCount> options_{};
    std::array<std::string, kEditCount> edits_;
    std::array<BoxState, kStreamBoxCount> boxes_;
    std::vector<std::string> log_;
    std::array<std::string, 2> panels_;
    Page page_ = Page::Status;
    std::vector<std::string> outline_;
    bool outlineVisible_ = true;
    std::vector<XplTreeNode> tree_;
    std::vector<std::string> discTitles_;
    std::optional<size_t> chosenTitle_;
    bool locked_ = false;
    std::vector<std::string> errors_;
    std::vector<std::string> questions_;
};

}  // namespace morvale
