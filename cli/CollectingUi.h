#pragma once
// The engine's user interface for kaldo-flash: what the desktop program would show in its status rows
// and message boxes is collected here, for the subcommand to print or report as its error text.
#include <array>
#include <string>
#include <vector>

#include "UpdaterUi.h"

namespace kaldo::cli {

class CollectingUi : public UpdaterUi {
public:
    std::array<std::string, 5> status1{"New Firmware"};
    std::array<std::string, 4> status2{};
    // Texts of the message boxes and dialogs, oldest first. Boxes answer OK; the dialog's check box
    // stays unticked.
    std::vector<std::string> messages;

    void setStatus1(int panel, const std::string& text) override {
        status1.at(static_cast<std::size_t>(panel)) = text;
    }
    void setStatus2(int panel, const std::string& text) override {
        status2.at(static_cast<std::size_t>(panel)) = text;
    }
    Answer messageBox(const std::string& text, const std::string&, Buttons) override {
        messages.push_back(text);
        return Answer::Ok;
    }
    void setGaugeVisible(bool) override {}
    void setGaugeMax(int) override {}
    void setGaugeProgress(int) override {}
    void setWarningVisible(bool) override {}
    void setWarningBlink(bool) override {}
    void setCancelLabelVisible(bool) override {}
    void setCancelPictureVisible(bool) override {}
    void dialogMessage(const std::string& text) override { messages.push_back(text); }
    bool dialogQuestion(const std::string& text) override {
        messages.push_back(text);
        return false;
    }
    void dialogPortSelection(const std::string& text, bool) override { messages.push_back(text); }
    void wizardToFront() override {}
    void wizardResetStartup() override {}
    void showAmpVersion(const std::string&, bool) override {}
    void logChanged() override {}
};

}  // namespace kaldo::cli
