#pragma once
// Device changes on the ALSA sequencer: a client of ours subscribed to the system's announce port
// (client 0, port 1), which tells of every client and port that starts, exits or changes. A thread of
// its own waits on the sequencer and on a stop pipe.
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "MidiBackend.h"

struct _snd_seq;

namespace kaldo::midi {

class AlsaDeviceWatch : public DeviceWatch {
public:
    // Null when the sequencer cannot be opened or the announce port cannot be subscribed.
    static std::unique_ptr<AlsaDeviceWatch> open(const std::string& clientName,
                                                 std::function<void()> changed);
    ~AlsaDeviceWatch() override;
    AlsaDeviceWatch(const AlsaDeviceWatch&) = delete;
    AlsaDeviceWatch& operator=(const AlsaDeviceWatch&) = delete;

private:
    AlsaDeviceWatch(_snd_seq* seq, int stopRead, int stopWrite, std::function<void()> changed);
    void run();

    _snd_seq* seq_;
    int stopRead_;
    int stopWrite_;
    std::function<void()> changed_;
    std::thread thread_;
};

}  // namespace kaldo::midi
