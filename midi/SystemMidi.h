#pragma once
// The MIDI system this machine offers. On Linux: the ALSA sequencer where it exists, else a running
// JACK server (the one JACK_DEFAULT_SERVER names, or the default one), else none: no devices, every
// open fails, nothing crashes. On Windows: winmm (WinMmBackend). Elsewhere RtMidi's own choice
// (CoreMIDI).
#include <memory>
#include <string>

#include "MidiBackend.h"

namespace kaldo::midi {

// clientName names our ports on the system ("kaldo-updater", "kaldo-flash").
std::shared_ptr<MidiBackend> systemMidi(const std::string& clientName);

// What systemMidi chose, for people: "ALSA", "JACK", "none", ...
std::string systemMidiName();

}  // namespace kaldo::midi
