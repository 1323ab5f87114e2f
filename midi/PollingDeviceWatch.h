#pragma once
// Device changes where the system tells nothing (WinMM): a thread of its own lists the devices once a
// second and calls when the names differ from the last listing. Listing there is a count and a
// capabilities call per device, no connection is opened, so the poll costs next to nothing.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MidiBackend.h"

namespace kaldo::midi {

class PollingDeviceWatch : public DeviceWatch {
public:
    using Lister = std::function<std::vector<std::string>()>;  // outputs and inputs, in one list

    PollingDeviceWatch(Lister list, std::function<void()> changed,
                       std::chrono::milliseconds period = std::chrono::seconds(1));
    ~PollingDeviceWatch() override;
    PollingDeviceWatch(const PollingDeviceWatch&) = delete;
    PollingDeviceWatch& operator=(const PollingDeviceWatch&) = delete;

private:
    void run(std::vector<std::string> seen);

    Lister list_;
    std::function<void()> changed_;
    std::chrono::milliseconds period_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace kaldo::midi
