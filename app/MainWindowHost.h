#pragma once
// The main window's operations that the wizard and its dialogs drive, over the engine, the device
// selection and the MIDI ports that the program owns. Window thread only.
#include "WizardHost.h"

namespace kaldo {

class Clock;
class Settings;
class TForm1;
class Updater;

namespace midi {
class MidiSelection;
class TMidiIn;
class TMidiOut;
}  // namespace midi

class MainWindowHost : public WizardHost {
public:
    MainWindowHost(TForm1& form, Clock& clock, Updater& updater, midi::MidiSelection& selection,
                   midi::TMidiOut& out, midi::TMidiIn& in, const Settings& settings);

    std::vector<std::string> outputDeviceNames() override;
    std::vector<std::string> inputDeviceNames() override;
    void clickOutItem(int item) override;
    void clickInItem(int item) override;
    bool outPortReady() override;
    bool inPortReady() override;
    std::optional<FoundAmp> findAmp() override;
    void Put2(std::uint8_t status, std::uint8_t data) override;
    void SysEx(const std::uint8_t* data, std::size_t length) override;
    std::optional<std::string> runOpenDialog(const std::string& filter) override;
    int ReadFile(const std::string& path) override;
    UploadOutcome clickUploadCode() override;
    void mainToFront() override;
    void pump() override;
    void pause(int ms) override;
    std::int64_t nowMs() override;
    void setFirstTime(bool showAtStart) override;
    std::optional<IdentityReply> ampVersion() override;
    void clearAmpVersion() override;
    PackedVersion fileVersionUnmasked() override;
    void clearReplyCode() override;
    bool takeReply(int code) override;
    void initTimeout(int ms) override;
    bool timeoutCheck() override;
    void resetCodeUpload() override;
    void setStatusPanel1(const std::string& text) override;
    void setStatusPanel3(const std::string& text) override;
    void messageBox(const std::string& text, const std::string& caption) override;
    SharedFlags& flags() override;

private:
    TForm1& form_;
    Clock& clock_;
    Updater& updater_;
    midi::MidiSelection& selection_;
    midi::TMidiOut& out_;
    midi::TMidiIn& in_;
    const Settings& settings_;
};

}  // namespace kaldo
