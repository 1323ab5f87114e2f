#pragma once
// Device changes on JACK: one long-lived client of ours hears every port that is registered,
// unregistered or renamed, and the server going away.
#include <functional>
#include <memory>
#include <string>

#include "MidiBackend.h"

struct _jack_client;

namespace kaldo::midi {

class JackDeviceWatch : public DeviceWatch {
public:
    // Null when no JACK server answers.
    static std::unique_ptr<JackDeviceWatch> open(const std::string& clientName,
                                                 std::function<void()> changed);
    ~JackDeviceWatch() override;
    JackDeviceWatch(const JackDeviceWatch&) = delete;
    JackDeviceWatch& operator=(const JackDeviceWatch&) = delete;

private:
    JackDeviceWatch(_jack_client* client, std::function<void()> changed);
    static void portRegistered(std::uint32_t port, int registered, void* self);
    static void portRenamed(std::uint32_t port, const char* oldName, const char* newName, void* self);
    static void serverGone(void* self);

    _jack_client* client_;
    std::function<void()> changed_;
};

}  // namespace kaldo::midi
