#pragma once
// Everything we receive on the ALSA sequencer arrives through a client of our own, which reads the
// kernel's events itself. RtMidi's ALSA input is not used: when the kernel reports that our input
// queue overflowed (-ENOSPC: it emptied the queue, and what was in it is gone) it only prints a line
// and goes on joining System Exclusive pieces, so the head of one message and the tail of another
// could pass as a whole one, and nobody would know. Here the receiver hears of the loss (kInputLost)
// and drops the message in progress.
//
// The kernel hands a card's input on as events (System Exclusive in pieces of up to 256 bytes, each
// other message as one event); each goes to the receiver as the bytes it carries, in order. Timing
// clock, MIDI time code and active sensing are left out, as the input has always left them out.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "AlsaCalls.h"
#include "MidiBackend.h"

namespace kaldo::midi {

class AlsaSequencerInput : public MidiInConnection {
public:
    // source is RtMidi's name of an ALSA input port, which ends in "client:port". Nothing opened,
    // and the result, when it cannot be reached. The receiver is called on a thread of the input's.
    static Opened<MidiInConnection> open(std::unique_ptr<AlsaCalls> calls, const std::string& clientName,
                                         const std::string& source, MidiReceiver receiver);
    // Stops the thread, so the receiver is not called again, and closes the client.
    ~AlsaSequencerInput() override;
    AlsaSequencerInput(const AlsaSequencerInput&) = delete;
    AlsaSequencerInput& operator=(const AlsaSequencerInput&) = delete;

private:
    AlsaSequencerInput(std::unique_ptr<AlsaCalls> calls, MidiReceiver receiver, snd_midi_event_t* decoder);
    void run();
    void deliver(const snd_seq_event_t& event);

    std::unique_ptr<AlsaCalls> calls_;
    MidiReceiver receiver_;
    snd_midi_event_t* decoder_;  // events other than System Exclusive back into bytes
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace kaldo::midi
