#include "JackPhysicalPort.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <chrono>
#include <stdexcept>

namespace kaldo::midi::testing {

JackPhysicalPort::JackPhysicalPort(const std::string& client) {
    client_ = jack_client_open(client.c_str(), JackNoStartServer, nullptr);
    if (!client_) throw std::runtime_error("no JACK server for " + client);
    port_ = jack_port_register(client_, "midi_playback", JACK_DEFAULT_MIDI_TYPE,
                               JackPortIsInput | JackPortIsPhysical | JackPortIsTerminal, 0);
    name_ = jack_port_name(port_);
    sampleRate_ = jack_get_sample_rate(client_);
    cycleFrames_ = jack_get_buffer_size(client_);
    jack_set_process_callback(client_, &JackPhysicalPort::process, this);
    jack_activate(client_);
}

JackPhysicalPort::~JackPhysicalPort() {
    jack_client_close(client_);
}

int JackPhysicalPort::process(std::uint32_t frames, void* self) {
    auto& port = *static_cast<JackPhysicalPort*>(self);
    void* buffer = jack_port_get_buffer(port.port_, frames);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    if (count == 0) return 0;
    const jack_nframes_t start = jack_last_frame_time(port.client_);
    std::lock_guard lock(port.mutex_);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0) continue;
        port.events_.push_back(
            {static_cast<std::uint64_t>(start) + event.time, {event.buffer, event.buffer + event.size}});
        port.bytes_ += event.size;
    }
    port.arrived_.notify_all();
    return 0;
}

std::vector<JackPhysicalPort::Event> JackPhysicalPort::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

bool JackPhysicalPort::waitForBytes(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(30), [&] { return bytes_ >= count; });
}

}  // namespace kaldo::midi::testing
