// The MIDI system on Windows: winmm, whose devices are always there to list (none is no error).
#include "SystemMidi.h"
#include "WinMmBackend.h"

namespace kaldo::midi {

// winmm has no ports of ours to leave out: the client name has nothing to name.
std::shared_ptr<MidiBackend> systemMidi(const std::string&) {
    return std::make_shared<WinMmBackend>(winmm::systemApi());
}

std::string systemMidiName() {
    return "WinMM";
}

std::string noDevicesAdvice() {
    return "Connect the amp";
}

}  // namespace kaldo::midi
