#include "JackDeviceWatch.h"

#include <jack/jack.h>

namespace kaldo::midi {

std::unique_ptr<JackDeviceWatch> JackDeviceWatch::open(const std::string& clientName,
                                                       std::function<void()> changed) {
    jack_client_t* client = jack_client_open((clientName + " watch").c_str(), JackNoStartServer, nullptr);
    if (!client) return nullptr;
    std::unique_ptr<JackDeviceWatch> watch(new JackDeviceWatch(client, std::move(changed)));
    // The notifications come on the client's own thread, and only for what changed: no process
    // callback, so the server never wakes this client once a cycle.
    jack_on_shutdown(client, &JackDeviceWatch::serverGone, watch.get());
    if (jack_set_port_registration_callback(client, &JackDeviceWatch::portRegistered, watch.get()) != 0 ||
        jack_set_port_rename_callback(client, &JackDeviceWatch::portRenamed, watch.get()) != 0 ||
        jack_activate(client) != 0) {
        return nullptr;
    }
    return watch;
}

JackDeviceWatch::JackDeviceWatch(jack_client_t* client, std::function<void()> changed)
    : client_(client), changed_(std::move(changed)) {}

// Once the client is closed no notification runs any more.
JackDeviceWatch::~JackDeviceWatch() {
    jack_deactivate(client_);
    jack_client_close(client_);
}

void JackDeviceWatch::portRegistered(std::uint32_t, int, void* self) {
    static_cast<JackDeviceWatch*>(self)->changed_();
}

void JackDeviceWatch::portRenamed(std::uint32_t, const char*, const char*, void* self) {
    static_cast<JackDeviceWatch*>(self)->changed_();
}

// Every port is gone with the server; the watch says so once and hears nothing more.
void JackDeviceWatch::serverGone(void* self) {
    static_cast<JackDeviceWatch*>(self)->changed_();
}

}  // namespace kaldo::midi
