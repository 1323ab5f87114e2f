#pragma once
// An UpdaterUi that remembers what the engine showed, for tests to look at.
#include <array>
#include <string>
#include <vector>

#include "UpdaterUi.h"

namespace kaldo::test {

struct ShownMessage {
    std::string text;
    std::string caption;
    Buttons buttons;
};

class RecordingUi : public UpdaterUi {
public:
    std::array<std::string, 5> status1{"New Firmware", "", "", "", ""};
    std::array<std::string, 4> status2{};
    std::vector<ShownMessage> messages;

    void setStatus1(int panel, const std::string& text) override {
        status1.at(static_cast<std::size_t>(panel)) = text;
    }
    void setStatus2(int panel, const std::string& text) override {
        status2.at(static_cast<std::size_t>(panel)) = text;
    }
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override {
        messages.push_back({text, caption, buttons});
        return Answer::Ok;
    }
    void setGaugeVisible(bool) override {}
    void setGaugeMax(int) override {}
    void setGaugeProgress(int) override {}
    void setWarningVisible(bool) override {}
    void setWarningBlink(bool) override {}
    void setCancelLabelVisible(bool) override {}
    void setCancelPictureVisible(bool) override {}
    void dialogMessage(const std::string&) override {}
    bool dialogQuestion(const std::string&) override { return false; }
    void dialogPortSelection(const std::string&, bool) override {}
    void wizardToFront() override {}
    void wizardResetStartup() override {}
    void showAmpVersion(const std::string&, bool) override {}
    void logChanged() override {}
};

}  // namespace kaldo::test
