#pragma once
// The MIDI output component MidiOut1: lists the output devices, opens the chosen one, sends short
// messages and System Exclusive blocks. Every byte the updater sends to the amp leaves through here.
// The component knows nothing of the amp: blocks come whole, F0 and F7 included.
//
// Sends (Put*, SysEx) come from the window thread or the one sender thread, never both at once; a
// send and a change of port may overlap (a close waits for the send to finish).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MidiBackend.h"

namespace kaldo::midi {

class TMidiOut {
public:
    static constexpr int kMaxDevices = 12;
    // The outputs as the "Out" menu lists them: the system's first twelve, in its order.
    static std::vector<std::string> deviceNames(MidiBackend& backend);

    explicit TMidiOut(std::shared_ptr<MidiBackend> backend);
    ~TMidiOut();
    TMidiOut(const TMidiOut&) = delete;
    TMidiOut& operator=(const TMidiOut&) = delete;

    // Enumerates the devices (at most 12) into the device table. Using, Port and openResult stay.
    void Init();
    // Closes the device if open and releases the table; Using keeps its value.
    void Destroy();
    // Re-reads the device table in place; the open device is not touched.
    void Reset();
    // Re-reads the device table after devices came or went, keeping the open device by its name: it
    // stays open under its new number, or is closed when it is gone. False when it was gone.
    bool Relist();

    bool Using() const;
    int Port() const;
    int NumDevs() const;
    // The name of device i (0 <= i < NumDevs).
    std::string deviceName(int i) const;

    // Opens (true) or closes (false). Using becomes v in every case, also after a failed open.
    void SetUsing(bool v);
    // Accepted only below NumDevs; while open, moves the open port to device p.
    void SetPort(int p);

    // The platform's result of the most recent open (0 = success, 0 before any open) and close.
    std::uint32_t openResult() const;
    std::uint32_t closeResult() const;

    void Put1(std::uint8_t status);
    void Put2(std::uint8_t status, std::uint8_t first);
    void Put3(std::uint8_t status, std::uint8_t first, std::uint8_t second);
    // A packed short message: status in bits 0-7, first data byte in 8-15, second in 16-23.
    void Put2Direct(std::uint32_t msg);

    // Sends one System Exclusive block and returns once it has left, or once the wait limit of
    // SysExWaitLimit.h has passed. Nothing is sent while closed or for 2 bytes or fewer. True only
    // when every byte left.
    bool SysEx(const std::uint8_t* data, std::size_t length);

private:
    void open();
    void close();
    void putShort(std::span<const std::uint8_t> message);

    std::shared_ptr<MidiBackend> backend_;
    // Held by a send for its whole length and by whatever changes the fields below, so a close waits
    // for a send in progress.
    std::mutex portMutex_;
    // Held briefly for every change of the fields below and by readers without portMutex_, so that
    // the window thread can look at the component while the sender thread sends a long block.
    mutable std::mutex stateMutex_;
    bool using_ = false;
    int port_ = 0;
    std::vector<std::string> devices_;  // the device table
    std::unique_ptr<MidiOutConnection> connection_;
    std::uint32_t openResult_ = kResultOk;
    std::uint32_t closeResult_ = kResultOk;
};

}  // namespace kaldo::midi
