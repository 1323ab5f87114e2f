#include "SystemMidi.h"

#include <RtMidi.h>
#include <jack/jack.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "RtMidiBackend.h"

namespace kaldo::midi {

namespace {

bool alsaSequencerPresent() { return access("/dev/snd/seq", R_OK | W_OK) == 0; }

void ignoreJackMessage(const char*) {}
void printJackError(const char* text) { std::fprintf(stderr, "JACK: %s\n", text); }

// Without a server libjack explains at length on stderr why it cannot connect: not news here.
bool jackServerRunning() {
    jack_set_error_function(&ignoreJackMessage);
    jack_client_t* client = jack_client_open("kaldo-probe", JackNoStartServer, nullptr);
    jack_set_error_function(&printJackError);
    if (!client) return false;
    jack_client_close(client);
    return true;
}

RtMidi::Api chooseApi() {
#if defined(__linux__)
    if (alsaSequencerPresent()) return RtMidi::LINUX_ALSA;
    if (jackServerRunning()) return RtMidi::UNIX_JACK;
    return RtMidi::RTMIDI_DUMMY;
#else
    return RtMidi::UNSPECIFIED;
#endif
}

// The system found, looking again for one while none was.
class SystemMidi : public MidiBackend {
public:
    explicit SystemMidi(std::string clientName);

    std::vector<std::string> outputNames() override;
    std::vector<std::string> inputNames() override;
    Opened<MidiOutConnection> openOutput(const std::string& device) override;
    Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) override;
    std::unique_ptr<DeviceWatch> watchDevices(std::function<void()> changed) override;
    // The system found, or the one being looked for: a look for JACK asks its server, which may hang.
    std::string systemName() const override;

private:
    std::shared_ptr<MidiBackend> current();

    std::string clientName_;
    std::mutex mutex_;  // held while the system is looked for
    std::shared_ptr<MidiBackend> chosen_;  // null while no system was found
    std::atomic<RtMidi::Api> chosenApi_{RtMidi::UNSPECIFIED};
};

}  // namespace

// The system is looked for on the first call, not here: whoever makes this decides on which thread
// a hanging server is met.
SystemMidi::SystemMidi(std::string clientName) : clientName_(std::move(clientName)) {}

std::shared_ptr<MidiBackend> SystemMidi::current() {
    std::lock_guard lock(mutex_);
    if (!chosen_) {
        const RtMidi::Api api = chooseApi();
        if (api != RtMidi::RTMIDI_DUMMY) {
            chosen_ = std::make_shared<RtMidiBackend>(api, clientName_);
            chosenApi_ = api;
        }
    }
    return chosen_;
}

std::string SystemMidi::systemName() const {
    const RtMidi::Api api = chosenApi_;
    if (api != RtMidi::UNSPECIFIED) return apiName(api);
    return alsaSequencerPresent() ? "ALSA" : "JACK";
}

std::vector<std::string> SystemMidi::outputNames() {
    const auto backend = current();
    return backend ? backend->outputNames() : std::vector<std::string>{};
}

std::vector<std::string> SystemMidi::inputNames() {
    const auto backend = current();
    return backend ? backend->inputNames() : std::vector<std::string>{};
}

Opened<MidiOutConnection> SystemMidi::openOutput(const std::string& device) {
    const auto backend = current();
    if (!backend) return {nullptr, kResultBadDeviceId};
    return backend->openOutput(device);
}

Opened<MidiInConnection> SystemMidi::openInput(const std::string& device, MidiReceiver receiver) {
    const auto backend = current();
    if (!backend) return {nullptr, kResultBadDeviceId};
    return backend->openInput(device, std::move(receiver));
}

std::unique_ptr<DeviceWatch> SystemMidi::watchDevices(std::function<void()> changed) {
    const auto backend = current();
    return backend ? backend->watchDevices(std::move(changed)) : nullptr;
}

std::shared_ptr<MidiBackend> systemMidi(const std::string& clientName) {
    return std::make_shared<SystemMidi>(clientName);
}

std::string systemMidiName() { return apiName(chooseApi()); }

std::string noDevicesAdvice() {
#if defined(__linux__)
    return "Connect the amp (or start JACK)";
#else
    return "Connect the amp";
#endif
}

}  // namespace kaldo::midi
