#pragma once
// A MIDI system in memory: named devices, devices that refuse to open, a record of what was sent,
// and input injected by the test (from any thread, standing in for the MIDI thread).
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "MidiBackend.h"

namespace kaldo::midi::testing {

class FakeMidi : public MidiBackend {
public:
    std::vector<std::string> outputs;
    std::vector<std::string> inputs;
    std::set<std::string> refusing;  // devices whose open fails
    bool sendsFail = false;
    // The devices on the line: called with each System Exclusive block sent to an output and its
    // device name; a test answers with inject().
    std::function<void(const std::string& device, std::vector<std::uint8_t> block)> answer;

    // While held, a SysEx send waits (on the sender's thread) until release().
    void holdSysEx();
    void release();
    bool sysExWaiting() const;

    // A system that hangs: from hang() until answerAgain(), every call that asks it (a listing, an
    // open, a watch, a close) waits, as a client of a stopped JACK server does.
    void hang();
    void answerAgain();
    int hungCalls() const;  // calls waiting now
    std::string name = "MIDI";
    std::string systemName() const override { return name; }

    struct Sent {
        std::string device;
        std::vector<std::uint8_t> bytes;
        bool sysEx;
    };

    std::vector<std::string> outputNames() override;
    std::vector<std::string> inputNames() override;

    Opened<MidiOutConnection> openOutput(const std::string& device) override;
    Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) override;
    // The system's word that devices came or went comes when the test calls announce().
    std::unique_ptr<DeviceWatch> watchDevices(std::function<void()> changed) override;
    // Tells the watch, if one lives (from any thread, as the system's own thread would).
    void announce();
    bool watched() const;
    // Opens so far, outputs and inputs.
    int opens() const;

    std::vector<Sent> sent() const;
    std::vector<std::string> openInputs() const;
    std::vector<std::string> openOutputs() const;
    // Delivers bytes to the open input of that device; false when none is open.
    bool inject(const std::string& device, std::vector<std::uint8_t> bytes);

private:
    friend class FakeOut;
    friend class FakeIn;
    friend class FakeWatch;
    // Waits while the system hangs.
    void asked();

    std::function<void()> watcher_;
    int opens_ = 0;
    bool hung_ = false;
    int hungCalls_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    bool waiting_ = false;
    std::vector<Sent> sent_;
    std::vector<std::string> openOutputs_;
    struct Input {
        std::string device;
        MidiReceiver receiver;
        int id;
    };
    std::vector<Input> openInputs_;
    int nextId_ = 0;
};

}  // namespace kaldo::midi::testing
