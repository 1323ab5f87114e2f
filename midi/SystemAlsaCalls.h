#pragma once
// The ALSA output's calls on this machine: ALSA's sequencer library, the files under /proc and the
// steady clock.
#include <memory>

#include "AlsaCalls.h"

namespace kaldo::midi {

std::unique_ptr<AlsaCalls> systemAlsaCalls();

}  // namespace kaldo::midi
