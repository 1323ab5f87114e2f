#pragma once
// The calls our ALSA output and input make, one entry for each call of ALSA's sequencer library they
// use on their own client, the kernel's rawmidi status under /proc, and the clock the output waits
// by. The system's entries are SystemAlsaCalls; tests put a model of the kernel's sequencer and
// rawmidi behaviour in their place, so that every way the kernel loses data can be shown without a
// sound card. Results are ALSA's: zero or more for success, a negative errno for failure.
#include <alsa/asoundlib.h>

#include <chrono>
#include <optional>
#include <string>

namespace kaldo::midi {

// What snd_seq_get_any_client_info tells of a client.
struct AlsaClientInfo {
    bool kernel = false;  // a client of the kernel (a sound card's ports, the MIDI through port)
    int card = -1;        // the sound card it belongs to, or -1
};

// A client's input queue (the GET_CLIENT_POOL request, which ALSA's library only makes for the
// caller's own client): its size and its free cells. Kernel clients have none.
struct AlsaClientPool {
    int inputPool = 0;
    int inputFree = 0;
};

class AlsaCalls {
public:
    virtual ~AlsaCalls() = default;  // closes the client (snd_seq_close)

    // snd_seq_open, non-blocking, for SND_SEQ_OPEN_OUTPUT or SND_SEQ_OPEN_INPUT, then
    // snd_seq_set_client_name.
    virtual int open(const std::string& clientName, int streams) = 0;
    // snd_seq_create_simple_port; the port's number.
    virtual int createPort(const std::string& name, unsigned capability, unsigned type) = 0;
    // snd_seq_connect_to: from our port to the destination.
    virtual int connectTo(int port, const snd_seq_addr_t& destination) = 0;
    // snd_seq_connect_from: from the source to our port.
    virtual int connectFrom(int port, const snd_seq_addr_t& source) = 0;
    virtual int clientInfo(int client, AlsaClientInfo& info) = 0;
    // snd_seq_get_any_port_info: zero while the port is there; once it has gone -ENOENT, or -ENXIO
    // when its client went with it (a card unplugged).
    virtual int portInfo(const snd_seq_addr_t& port) = 0;
    virtual int clientPool(int client, AlsaClientPool& pool) = 0;
    // snd_seq_event_output_direct: the event goes through the kernel at once, or is refused.
    virtual int outputDirect(snd_seq_event_t& event) = 0;

    // snd_seq_event_input: the next event received, valid until the next call. -EAGAIN when none
    // waits; -ENOSPC when our input queue overflowed, and the kernel emptied it: input was lost.
    virtual int eventInput(snd_seq_event_t*& event) = 0;
    // Sleeps until input may have come, or until stopWaiting() has been called.
    virtual void waitForInput() = 0;
    // From any thread: waitForInput returns, now and at once from then on.
    virtual void stopWaiting() = 0;
    // A file's whole text (the rawmidi status under /proc/asound); nothing when it cannot be read.
    virtual std::optional<std::string> readFile(const std::string& path) = 0;

    virtual std::chrono::steady_clock::time_point now() = 0;
    virtual void pause(std::chrono::nanoseconds duration) = 0;
};

}  // namespace kaldo::midi
