#pragma once
// Device changes on macOS: a CoreMIDI client of ours whose notify callback hears every change of the
// MIDI setup. CoreMIDI calls it on the run loop of the thread that made the client: the desktop
// program's window thread.
#include <functional>
#include <memory>

#include "MidiBackend.h"

namespace kaldo::midi {

std::unique_ptr<DeviceWatch> watchCoreMidiDevices(std::function<void()> changed);

}  // namespace kaldo::midi
