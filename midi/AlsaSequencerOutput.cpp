#include "AlsaSequencerOutput.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string_view>

#include "SysExPieces.h"
#include "SysExWaitLimit.h"

namespace kaldo::midi {

namespace {

// Small enough for a card's 4 KB buffer and a software receiver's queue of 200 cells (38 cells a
// piece), large enough that a 1 MiB image is only a thousand events.
constexpr std::size_t kAlsaPiece = 1024;
constexpr std::size_t kCellSize = sizeof(snd_seq_event_t);
constexpr std::uint8_t kSysExEnd = 0xF7;

// The cells an event takes in a receiver's queue: its head, and its data in cells of an event's size.
std::size_t cellsOf(const snd_seq_event_t& event, std::size_t bytes) {
    return snd_seq_ev_is_variable(&event) ? 1 + (bytes + kCellSize - 1) / kCellSize : 1;
}

// "client:port", the last word of RtMidi's name of an ALSA port.
std::optional<snd_seq_addr_t> addressOf(std::string_view name) {
    const std::size_t space = name.rfind(' ');
    if (space != std::string_view::npos) name.remove_prefix(space + 1);
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    unsigned client = 0;
    unsigned port = 0;
    const char* end = name.data() + name.size();
    const auto parsedClient = std::from_chars(name.data(), name.data() + colon, client);
    const auto parsedPort = std::from_chars(name.data() + colon + 1, end, port);
    if (parsedClient.ec != std::errc() || parsedClient.ptr != name.data() + colon ||
        parsedPort.ec != std::errc() || parsedPort.ptr != end || client > 255 || port > 255) {
        return std::nullopt;
    }
    snd_seq_addr_t address;
    address.client = static_cast<unsigned char>(client);
    address.port = static_cast<unsigned char>(port);
    return address;
}

}  // namespace

Opened<MidiOutConnection> AlsaSequencerOutput::open(std::unique_ptr<AlsaCalls> calls,
                                                    const std::string& clientName,
                                                    const std::string& destination) {
    const auto address = addressOf(destination);
    if (!address) return {nullptr, kResultBadDeviceId};
    if (calls->open(clientName) < 0) return {nullptr, kResultError};
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
    // A piece must fit into the destination's whole buffer or queue, or it could never be taken.
    if (info.kernel && info.card >= 0) {
        kind = Kind::Card;
        rawMidi = RawMidiOutput::ofPort(info.card, address->port);
        const auto text = calls->readFile(rawMidi->statusPath);
        const auto status = text ? parseRawMidiOutput(*text, rawMidi->substream) : std::nullopt;
        if (status && status->bufferSize && *status->bufferSize > 0)
            pieceSize = std::min(pieceSize, *status->bufferSize);
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

// The destination's report, with what a message of `bytes` bytes costs in it; nothing when it gives none.
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

// Waits as the pacing says, then hands the event to the kernel. False when the deadline passed
// first or the kernel refused it.
bool AlsaSequencerOutput::write(snd_seq_event_t& event, std::size_t bytes,
                                std::chrono::steady_clock::time_point deadline) {
    const std::size_t cells = cellsOf(event, bytes);
    while (true) {
        const auto delay = pacing_.delayBefore(bytes, room(bytes, cells), pacingNow());
        if (delay == SendPacing::Time(0)) break;
        if (!pauseBefore(delay, deadline)) return false;
    }
    if (calls_->outputDirect(event) < 0) return false;
    pacing_.wrote(bytes, pacingNow());
    written_ += bytes;
    return true;
}

bool AlsaSequencerOutput::pauseBefore(SendPacing::Time delay,
                                      std::chrono::steady_clock::time_point deadline) {
    const auto now = calls_->now();
    if (now >= deadline) return false;
    calls_->pause(std::min<std::chrono::nanoseconds>(delay, deadline - now));
    return true;
}

bool AlsaSequencerOutput::waitUntilDrained(std::chrono::steady_clock::time_point deadline) {
    while (true) {
        const auto delay = pacing_.delayUntilDrained(room(0, 0), pacingNow());
        if (delay == SendPacing::Time(0)) return true;
        if (!pauseBefore(delay, deadline)) return false;
    }
}

// What was waiting in the card's buffer when the block began, and the block, must both have been
// handed to the hardware: anything else was dropped on an overrun, or another program's bytes went
// out in the middle of the block.
void AlsaSequencerOutput::beginAccounting() {
    written_ = 0;
    txBase_.reset();
    const auto status = rawMidiStatus();
    if (status && status->avail && status->bufferSize && *status->bufferSize >= *status->avail) {
        txBase_ = status->txBytes + (*status->bufferSize - *status->avail);
    }
}

bool AlsaSequencerOutput::everyByteLeft() {
    if (!txBase_) return true;
    const auto status = rawMidiStatus();
    return !status || status->txBytes - *txBase_ == written_;
}

// The receiver is in the middle of our block: an F7 ends it there, so the fragment is dropped as a
// whole instead of running into whatever comes next. It waits for room as any message does (a
// receiver that overflowed has room again once it has emptied its queue), with a short message's
// time limit of its own, since the block's may have run out.
void AlsaSequencerOutput::endFragment() {
    std::uint8_t end = kSysExEnd;
    snd_seq_event_t event = eventToDestination();
    snd_seq_ev_set_sysex(&event, 1, &end);
    write(event, 1, calls_->now() + sysExWaitLimit(1));
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
    return write(event, message.size(), calls_->now() + sysExWaitLimit(message.size()));
}

bool AlsaSequencerOutput::sendSysEx(std::span<const std::uint8_t> block,
                                    std::chrono::steady_clock::time_point deadline) {
    beginAccounting();
    for (const auto piece : sysExPieces(block, pieceSize_)) {
        snd_seq_event_t event = eventToDestination();
        snd_seq_ev_set_sysex(&event, piece.size(), const_cast<std::uint8_t*>(piece.data()));
        if (!write(event, piece.size(), deadline)) {
            endFragment();
            return false;
        }
    }
    return waitUntilDrained(deadline) && everyByteLeft();
}

}  // namespace kaldo::midi
