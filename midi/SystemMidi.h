#pragma once
// The MIDI system this machine offers. On Linux: the ALSA sequencer where it exists, else a running
// JACK server (the one JACK_DEFAULT_SERVER names, or the default one), else none: no devices, every
// open fails, nothing crashes; while none was found, every listing looks again, so a JACK server
// started after the program is found by the next re-check. On Windows: winmm (WinMmBackend).
// Elsewhere RtMidi's own choice (CoreMIDI).
#include <memory>
#include <string>

#include "MidiBackend.h"

namespace kaldo::midi {

// clientName names our ports on the system ("kaldo-updater", "kaldo-flash").
std::shared_ptr<MidiBackend> systemMidi(const std::string& clientName);

// What a fresh look at the machine finds, for people: "ALSA", "JACK", "WinMM", "none", ...
std::string systemMidiName();

// What to tell a person whose machine shows no MIDI devices, besides looking again: on Linux the MIDI
// system may be a JACK server not yet started; where the system lists every device itself, only the
// amp is missing.
std::string noDevicesAdvice();

}  // namespace kaldo::midi
