#include "AlsaSequencerInput.h"

#include <cerrno>
#include <cstdint>
#include <span>

#include "AlsaAddress.h"

namespace kaldo::midi {

namespace {

// Left out, as the input has always left them out: nothing here waits for clock or sensing.
bool leftOut(const snd_seq_event_t& event) {
    switch (event.type) {
        case SND_SEQ_EVENT_CLOCK:
        case SND_SEQ_EVENT_TICK:
        case SND_SEQ_EVENT_QFRAME:
        case SND_SEQ_EVENT_SENSING:
            return true;
        default:
            return false;
    }
}

}  // namespace

Opened<MidiInConnection> AlsaSequencerInput::open(std::unique_ptr<AlsaCalls> calls,
                                                  const std::string& clientName, const std::string& source,
                                                  MidiReceiver receiver) {
    const auto address = alsaAddressOf(source);
    if (!address) return {nullptr, kResultBadDeviceId};
    if (calls->open(clientName, SND_SEQ_OPEN_INPUT) < 0) return {nullptr, kResultError};
    // Written to by the source we connect: nobody else may connect to it and speak in the amp's name.
    const int port = calls->createPort("in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) return {nullptr, kResultError};
    if (const int connected = calls->connectFrom(port, *address); connected < 0) {
        return {nullptr, connected == -ENOENT ? kResultBadDeviceId : kResultError};
    }
    snd_midi_event_t* decoder = nullptr;
    // Large enough for any message but System Exclusive, which is not decoded.
    if (snd_midi_event_new(16, &decoder) < 0) return {nullptr, kResultError};
    // Every message with its status byte: the receiver knows no running status.
    snd_midi_event_no_status(decoder, 1);
    std::unique_ptr<AlsaSequencerInput> input(
        new AlsaSequencerInput(std::move(calls), std::move(receiver), decoder));
    input->thread_ = std::thread([in = input.get()] { in->run(); });
    return {std::move(input), kResultOk};
}

AlsaSequencerInput::AlsaSequencerInput(std::unique_ptr<AlsaCalls> calls, MidiReceiver receiver,
                                       snd_midi_event_t* decoder)
    : calls_(std::move(calls)), receiver_(std::move(receiver)), decoder_(decoder) {}

AlsaSequencerInput::~AlsaSequencerInput() {
    stopping_ = true;
    calls_->stopWaiting();
    thread_.join();
    snd_midi_event_free(decoder_);
}

// Sleeps until input comes, then reads every event that waits. An overflow of our queue is input
// lost at that point: the receiver is told before anything that came after it. Any other error
// means the client can read no more: the receiver is told once, and the input stays silent.
void AlsaSequencerInput::run() {
    while (!stopping_) {
        calls_->waitForInput();
        snd_seq_event_t* event = nullptr;
        int result;
        while (!stopping_ && (result = calls_->eventInput(event)) != -EAGAIN) {
            if (result < 0) {
                receiver_(kInputLost);
                if (result != -ENOSPC) return;
            } else if (event) {
                deliver(*event);
            }
        }
    }
}

void AlsaSequencerInput::deliver(const snd_seq_event_t& event) {
    if (leftOut(event)) return;
    if (event.type == SND_SEQ_EVENT_SYSEX) {
        if (event.data.ext.len == 0) return;
        receiver_(std::span(static_cast<const std::uint8_t*>(event.data.ext.ptr), event.data.ext.len));
        return;
    }
    unsigned char bytes[16];
    // Events that are no MIDI message (announcements, subscriptions) decode to nothing.
    const long length = snd_midi_event_decode(decoder_, bytes, sizeof bytes, &event);
    if (length > 0) receiver_(std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(length)));
}

}  // namespace kaldo::midi
