#include "CoreMidiDeviceWatch.h"

#include <CoreMIDI/CoreMIDI.h>

namespace kaldo::midi {

namespace {

class CoreMidiDeviceWatch : public DeviceWatch {
public:
    explicit CoreMidiDeviceWatch(std::function<void()> changed) : changed_(std::move(changed)) {}
    ~CoreMidiDeviceWatch() override {
        if (client_) MIDIClientDispose(client_);
    }
    bool open() { return MIDIClientCreate(CFSTR("KALDO Updater watch"), &notify, this, &client_) == noErr; }

private:
    static void notify(const MIDINotification* message, void* self) {
        if (message->messageID == kMIDIMsgSetupChanged) static_cast<CoreMidiDeviceWatch*>(self)->changed_();
    }

    std::function<void()> changed_;
    MIDIClientRef client_ = 0;
};

}  // namespace

std::unique_ptr<DeviceWatch> watchCoreMidiDevices(std::function<void()> changed) {
    auto watch = std::make_unique<CoreMidiDeviceWatch>(std::move(changed));
    if (!watch->open()) return nullptr;
    return watch;
}

}  // namespace kaldo::midi
