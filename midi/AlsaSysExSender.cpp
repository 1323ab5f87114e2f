#include "AlsaSysExSender.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <thread>

#include "SysExPieces.h"

namespace kaldo::midi {

namespace {
// Small enough for any sequencer and for a hardware port's 4 KB buffer, large enough that a 1 MiB
// image is only a thousand events.
constexpr std::size_t kAlsaPiece = 1024;
constexpr auto kRetryPause = std::chrono::milliseconds(1);
}  // namespace

std::unique_ptr<AlsaSysExSender> AlsaSysExSender::open(const std::string& clientName, const std::string& destination) {
    snd_seq_addr_t address;
    const auto space = destination.rfind(' ');
    if (space == std::string::npos || snd_seq_parse_address(nullptr, &address, destination.c_str() + space + 1) < 0) {
        return nullptr;
    }
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) return nullptr;
    snd_seq_set_client_name(seq, (clientName + " SysEx").c_str());
    const int port = snd_seq_create_simple_port(seq, "sysex", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0 || snd_seq_connect_to(seq, port, address.client, address.port) < 0) {
        snd_seq_close(seq);
        return nullptr;
    }
    return std::unique_ptr<AlsaSysExSender>(new AlsaSysExSender(seq, port));
}

AlsaSysExSender::~AlsaSysExSender() { snd_seq_close(seq_); }

// Every event has left our client once its whole output pool is free again.
bool AlsaSysExSender::drained() const {
    snd_seq_client_pool_t* pool;
    snd_seq_client_pool_alloca(&pool);
    if (snd_seq_get_client_pool(seq_, pool) < 0) return false;
    return snd_seq_client_pool_get_output_free(pool) >= snd_seq_client_pool_get_output_pool(pool);
}

bool AlsaSysExSender::send(std::span<const std::uint8_t> block, std::chrono::steady_clock::time_point deadline) {
    for (const auto piece : sysExPieces(block, kAlsaPiece)) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_seq_ev_set_source(&event, port_);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        snd_seq_ev_set_sysex(&event, piece.size(), const_cast<std::uint8_t*>(piece.data()));
        // Non-blocking: a full pool answers -EAGAIN, and the deadline stays ours.
        int result;
        while ((result = snd_seq_event_output_direct(seq_, &event)) == -EAGAIN) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(kRetryPause);
        }
        if (result < 0) return false;
    }
    while (!drained()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kRetryPause);
    }
    return true;
}

}  // namespace kaldo::midi
