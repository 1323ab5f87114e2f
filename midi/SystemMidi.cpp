#include "SystemMidi.h"

#include <RtMidi.h>
#include <jack/jack.h>
#include <unistd.h>

#include <cstdio>

#include "RtMidiBackend.h"

namespace kaldo::midi {

namespace {

class NoMidi : public MidiBackend {
public:
    std::vector<std::string> outputNames() override { return {}; }
    std::vector<std::string> inputNames() override { return {}; }
    Opened<MidiOutConnection> openOutput(const std::string&) override { return {nullptr, kResultBadDeviceId}; }
    Opened<MidiInConnection> openInput(const std::string&, MidiReceiver) override {
        return {nullptr, kResultBadDeviceId};
    }
};

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

}  // namespace

std::shared_ptr<MidiBackend> systemMidi(const std::string& clientName) {
    const RtMidi::Api api = chooseApi();
    if (api == RtMidi::RTMIDI_DUMMY) return std::make_shared<NoMidi>();
    return std::make_shared<RtMidiBackend>(api, clientName);
}

std::string systemMidiName() {
    switch (chooseApi()) {
        case RtMidi::LINUX_ALSA: return "ALSA";
        case RtMidi::UNIX_JACK: return "JACK";
        case RtMidi::RTMIDI_DUMMY: return "none";
        default: return "the platform's own";
    }
}

}  // namespace kaldo::midi
