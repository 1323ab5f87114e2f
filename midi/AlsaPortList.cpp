#include "AlsaPortList.h"

#include <alsa/asoundlib.h>

namespace kaldo::midi {

AlsaPortList::AlsaPortList(std::string ourName) : ourName_(std::move(ourName)) {}

AlsaPortList::~AlsaPortList() {
    if (seq_) snd_seq_close(seq_);
}

std::vector<std::string> AlsaPortList::outputs() {
    return names(SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
}

std::vector<std::string> AlsaPortList::inputs() {
    return names(SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
}

// The ports RtMidi lists: every client's but the system's (client 0: timer and announcements), of
// a MIDI, synth or application type, that others may connect to in that direction.
std::vector<std::string> AlsaPortList::names(unsigned capabilities) {
    std::lock_guard lock(mutex_);
    if (!seq_) {
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
            seq_ = nullptr;
            return {};
        }
        snd_seq_set_client_name(seq_, ourName_.c_str());
    }
    std::vector<std::string> found;
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq_, client) >= 0) {
        const int number = snd_seq_client_info_get_client(client);
        const std::string clientName = snd_seq_client_info_get_name(client);
        if (number == SND_SEQ_CLIENT_SYSTEM || clientName.rfind(ourName_, 0) == 0) continue;
        snd_seq_port_info_set_client(port, number);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq_, port) >= 0) {
            constexpr unsigned kMidi =
                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_APPLICATION;
            if ((snd_seq_port_info_get_type(port) & kMidi) == 0) continue;
            if ((snd_seq_port_info_get_capability(port) & capabilities) != capabilities) continue;
            found.push_back(clientName + ":" + snd_seq_port_info_get_name(port) + " " + std::to_string(number) +
                            ":" + std::to_string(snd_seq_port_info_get_port(port)));
        }
    }
    return found;
}

}  // namespace kaldo::midi
