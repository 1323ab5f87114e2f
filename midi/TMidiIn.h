#pragma once
// The MIDI input component MidiIn1: lists the input devices, opens the chosen one and hands every
// received System Exclusive message (and, when asked, every short message) to its handlers. That is
// how every reply of the amp reaches the updater.
//
// The handlers run on the MIDI system's thread, at any moment while the port is open, also while the
// window thread is inside SetUsing, SetPort or Destroy. Bind them while the port is closed. Once a
// close has begun no handler call starts, and a call in progress has ended when the close returns.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MidiBackend.h"
#include "ReceiveBuffer.h"

namespace kaldo::midi {

class TMidiIn {
public:
    static constexpr int kMaxDevices = 12;
    // The inputs as the "In" menu lists them: the system's first twelve, in its order.
    static std::vector<std::string> deviceNames(MidiBackend& backend);
    static constexpr std::size_t kBufferCount = 16;
    static constexpr std::size_t kBufferSize = ReceiveBuffer::kBufferSize;

    // Sender is the component (the framework's event signature).
    using ShortHandler = std::function<void(TMidiIn& sender, std::uint8_t status, std::uint8_t first, std::uint8_t second)>;
    // SysExAdd is valid only during the call.
    using SysExHandler = std::function<void(TMidiIn& sender, const std::uint8_t* SysExAdd, int MsgSize)>;
    // Input that was not delivered, as a line for the receive log: a System Exclusive message that
    // another status byte cut short, or input the system lost on an overrun (see ReceiveBuffer).
    using DropHandler = std::function<void(TMidiIn& sender, const std::string& line)>;

    explicit TMidiIn(std::shared_ptr<MidiBackend> backend);
    ~TMidiIn();
    TMidiIn(const TMidiIn&) = delete;
    TMidiIn& operator=(const TMidiIn&) = delete;

    // Enumerates the devices (at most 12); UseShort and UseSysEx become true again.
    void Init();
    // Closes the device if open and releases the table; Using keeps its value.
    void Destroy();
    // Re-reads the device table after devices came or went, keeping the open device by its name: it
    // stays open under its new number, or is closed when it is gone. False when it was gone.
    bool Relist();

    bool Using() const;
    int Port() const;
    int NumDevs() const;
    std::string deviceName(int i) const;

    void SetUsing(bool v);
    void SetPort(int p);
    void SetUseShort(bool v) { useShort_ = v; }
    void SetUseSysEx(bool v) { useSysEx_ = v; }
    bool UseShort() const { return useShort_; }
    bool UseSysEx() const { return useSysEx_; }

    ShortHandler OnShort;
    SysExHandler OnSysEx;
    DropHandler OnDropped;

    std::uint32_t openResult() const;
    std::uint32_t closeResult() const;

private:
    void Prepare();
    void UnPrepare();
    void received(std::span<const std::uint8_t> bytes);

    std::shared_ptr<MidiBackend> backend_;
    mutable std::mutex mutex_;  // the window thread's state below
    bool using_ = false;
    int port_ = 0;
    std::vector<std::string> devices_;
    std::unique_ptr<MidiInConnection> connection_;
    std::uint32_t openResult_ = kResultOk;
    std::uint32_t closeResult_ = kResultOk;

    std::atomic<bool> useShort_{true};
    std::atomic<bool> useSysEx_{true};
    // Held by the MIDI thread while it delivers; a close sets closing_ under it, so no delivery
    // starts after the close began and none is still running when it ends.
    std::mutex deliveryMutex_;
    bool closing_ = false;
    ReceiveBuffer buffer_;
};

}  // namespace kaldo::midi
