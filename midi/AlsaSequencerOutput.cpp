#include "AlsaSequencerOutput.h"

#include <algorithm>
#include <cerrno>

#include "AlsaAddress.h"
#include "SysExPieces.h"
#include "SysExWaitLimit.h"

namespace kaldo::midi {

namespace {

// Small enough for a card's 4 KB buffer and a software receiver's queue of 200 cells (38 cells a
// piece), large enough that a 1 MiB image is only a thousand events.
constexpr std::size_t kAlsaPiece = 1024;
constexpr std::size_t kCellSize = sizeof(snd_seq_event_t);
// How often a card's sum that looks short is read before it counts (see onlyTheBlockEntered).
constexpr int kReadsOfAShortSum = 3;

// The cells an event takes in a receiver's queue: its head, and its data in cells of an event's size.
std::size_t cellsOf(const snd_seq_event_t& event, std::size_t bytes) {
    return snd_seq_ev_is_variable(&event) ? 1 + (bytes + kCellSize - 1) / kCellSize : 1;
}

}  // namespace

Opened<MidiOutConnection> AlsaSequencerOutput::open(std::unique_ptr<AlsaCalls> calls,
                                                    const std::string& clientName,
                                                    const std::string& destination) {
    const auto address = alsaAddressOf(destination);
    if (!address) return {nullptr, kResultBadDeviceId};
    if (calls->open(clientName, SND_SEQ_OPEN_OUTPUT) < 0) return {nullptr, kResultError};
    // Readable, so it can send, but nobody else may connect to it and hear what we send.
    const int port = calls->createPort("out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_NO_EXPORT,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) return {nullptr, kResultError};
    if (const int connected = calls->connectTo(port, *address); connected < 0) {
        return {nullptr, connected == -ENOENT ? kResultBadDeviceId : kResultError};
    }
    AlsaClientInfo info;
    if (calls->clientInfo(address->client, info) < 0) return {nullptr, kResultBadDeviceId};

    Kind kind = Kind::Silent;
    std::optional<RawMidiOutput> rawMidi;
    std::size_t pieceSize = kAlsaPiece;
    // A piece must fit into the destination's whole buffer or queue, or it could never be taken. A
    // card whose buffer shows nothing (no /proc) is sent to at the wire's rate, as any silent port.
    if (info.kernel && info.card >= 0) {
        rawMidi = RawMidiOutput::ofPort(info.card, address->port);
        const auto text = calls->readFile(rawMidi->statusPath);
        const auto status = text ? parseRawMidiOutput(*text, rawMidi->substream) : std::nullopt;
        if (status && status->avail && status->bufferSize && *status->bufferSize > 0) {
            kind = Kind::Card;
            pieceSize = std::min(pieceSize, *status->bufferSize);
        } else {
            rawMidi.reset();
        }
    } else if (!info.kernel) {
        kind = Kind::Software;
        AlsaClientPool pool;
        if (calls->clientPool(address->client, pool) == 0 && pool.inputPool > 1) {
            pieceSize = std::min(pieceSize, static_cast<std::size_t>(pool.inputPool - 1) * kCellSize);
        }
    }
    std::unique_ptr<AlsaSequencerOutput> output(
        new AlsaSequencerOutput(std::move(calls), port, *address, kind, std::move(rawMidi), pieceSize));
    if (!output->encoder_) return {nullptr, kResultError};
    return {std::move(output), kResultOk};
}

AlsaSequencerOutput::AlsaSequencerOutput(std::unique_ptr<AlsaCalls> calls, int port,
                                         snd_seq_addr_t destination, Kind kind,
                                         std::optional<RawMidiOutput> rawMidi, std::size_t pieceSize)
    : calls_(std::move(calls)),
      port_(port),
      destination_(destination),
      kind_(kind),
      rawMidi_(std::move(rawMidi)),
      pieceSize_(pieceSize) {
    // Large enough for any short message; System Exclusive never goes through the encoder.
    if (snd_midi_event_new(16, &encoder_) < 0) encoder_ = nullptr;
}

AlsaSequencerOutput::~AlsaSequencerOutput() {
    if (encoder_) snd_midi_event_free(encoder_);
}

SendPacing::Time AlsaSequencerOutput::pacingNow() {
    return std::chrono::duration_cast<SendPacing::Time>(calls_->now().time_since_epoch());
}

snd_seq_event_t AlsaSequencerOutput::eventToDestination() const {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, port_);
    snd_seq_ev_set_dest(&event, destination_.client, destination_.port);
    snd_seq_ev_set_direct(&event);
    return event;
}

std::optional<RawMidiOutputStatus> AlsaSequencerOutput::rawMidiStatus() {
    if (!rawMidi_) return std::nullopt;
    const auto text = calls_->readFile(rawMidi_->statusPath);
    if (!text) return std::nullopt;
    return parseRawMidiOutput(*text, rawMidi_->substream);
}

// The destination's report, with what a message of `bytes` bytes costs in it; nothing when it gives
// none (a silent port), or has gone.
std::optional<SendPacing::Room> AlsaSequencerOutput::room(std::size_t bytes, std::size_t cells) {
    if (kind_ == Kind::Card) {
        const auto status = rawMidiStatus();
        if (!status || !status->avail || !status->bufferSize) return std::nullopt;
        return SendPacing::Room{*status->avail, *status->bufferSize, bytes};
    }
    if (kind_ == Kind::Software) {
        AlsaClientPool pool;
        if (calls_->clientPool(destination_.client, pool) < 0 || pool.inputPool <= 0) return std::nullopt;
        return SendPacing::Room{static_cast<std::size_t>(std::max(pool.inputFree, 0)),
                                static_cast<std::size_t>(pool.inputPool), cells};
    }
    return std::nullopt;
}

// Waits as the pacing says. A destination that shows its figures fails the wait when they vanish
// (an unplugged card's /proc files go with it) or when it has taken nothing for kNoProgressLimit; a
// silent one is waited for by the wire-rate estimate alone, which runs dry by itself.
bool AlsaSequencerOutput::waitFor(Wait wait, std::size_t bytes, std::size_t cells) {
    std::optional<std::size_t> mostRoom;
    auto lastProgress = calls_->now();
    while (true) {
        const auto report = room(bytes, cells);
        if (kind_ != Kind::Silent && !report) return false;
        const auto delay = wait == Wait::Room ? pacing_.delayBefore(bytes, report, pacingNow())
                                              : pacing_.delayUntilDrained(report, pacingNow());
        if (delay == SendPacing::Time(0)) return true;
        if (report) {
            const auto now = calls_->now();
            if (!mostRoom || report->free > *mostRoom) {
                mostRoom = report->free;
                lastProgress = now;
            } else if (now - lastProgress >= kNoProgressLimit) {
                return false;
            }
        }
        calls_->pause(delay);
    }
}

// Waits for room, then hands the event to the kernel; a piece of a block only while the card shows
// nothing but the block entering it. False when the destination stopped or went, or refused it.
bool AlsaSequencerOutput::write(snd_seq_event_t& event, std::size_t bytes, bool partOfBlock) {
    if (!waitFor(Wait::Room, bytes, cellsOf(event, bytes))) return false;
    if (partOfBlock && !onlyTheBlockEntered()) return false;
    if (calls_->outputDirect(event) < 0) return false;
    pacing_.wrote(bytes, pacingNow());
    written_ += bytes;
    return true;
}

// Every byte that has entered the card's buffer: those its driver took (handed on, on their way in
// its transfers, or discarded at an unplug) and those still waiting.
std::optional<std::uint64_t> AlsaSequencerOutput::enteredTheCard() {
    const auto status = rawMidiStatus();
    if (!status || !status->avail || !status->bufferSize || *status->avail > *status->bufferSize) {
        return std::nullopt;
    }
    return status->txBytes + (*status->bufferSize - *status->avail);
}

bool AlsaSequencerOutput::beginBlock() {
    written_ = 0;
    if (kind_ != Kind::Card) return true;
    const auto entered = enteredTheCard();
    if (!entered) return false;
    enteredBefore_ = *entered;
    return true;
}

// What entered the card since the block began must be the block so far: more is another program's
// bytes among ours, less is ours dropped on an overrun, and either spoils the block. The kernel
// shows the count before it looks at the buffer, so a byte taken between the two makes the sum look
// short, never long: a short sum is read again before it counts.
bool AlsaSequencerOutput::onlyTheBlockEntered() {
    if (kind_ != Kind::Card) return true;
    const std::uint64_t block = enteredBefore_ + written_;
    for (int read = 0; read < kReadsOfAShortSum; ++read) {
        const auto entered = enteredTheCard();
        if (!entered || *entered > block) return false;
        if (*entered == block) return true;
    }
    return false;
}

bool AlsaSequencerOutput::destinationStillThere() {
    return calls_->portInfo(destination_) >= 0;
}

bool AlsaSequencerOutput::sendShort(std::span<const std::uint8_t> message) {
    if (message.empty()) return false;
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_midi_event_reset_encode(encoder_);
    if (snd_midi_event_encode(encoder_, message.data(), static_cast<long>(message.size()), &event) < 0 ||
        event.type == SND_SEQ_EVENT_NONE) {
        return false;
    }
    snd_seq_ev_set_source(&event, port_);
    snd_seq_ev_set_dest(&event, destination_.client, destination_.port);
    snd_seq_ev_set_direct(&event);
    return write(event, message.size(), false);
}

bool AlsaSequencerOutput::sendSysEx(std::span<const std::uint8_t> block,
                                    std::chrono::steady_clock::time_point) {
    if (!beginBlock()) return false;
    for (const auto piece : sysExPieces(block, pieceSize_)) {
        snd_seq_event_t event = eventToDestination();
        snd_seq_ev_set_sysex(&event, piece.size(), const_cast<std::uint8_t*>(piece.data()));
        if (!write(event, piece.size(), true)) return false;
    }
    return waitFor(Wait::Drained, 0, 0) && destinationStillThere() && onlyTheBlockEntered();
}

}  // namespace kaldo::midi
