#pragma once
// The simulated amp plugged straight into the engine's MIDI port, for tests on virtual time: what the
// engine sends goes to an AmpModel, and each reply comes back through the reply sink once its delay
// has passed on the VirtualClock, on the thread that runs the clock (the window thread), as the MIDI
// input thread would deliver it.
//
// The sink only delivers: the engine's reply handler (MidiIn1SysEx) plugged into it wakes the waits
// itself with Clock::notify, exactly as it does for replies from a real port.
//
// The port selection is modelled as the real one behaves: deSelectCurrentMidi, populateMidiSelect and
// reCheckForMidiDevices close both ports (they are counted for the tests), selectPorts opens them
// again. A vanished amp has no ports: sends fail and pending replies are lost.
//
// sysEx may run on the sender thread while the window thread runs the clock. A reply is due its delay
// after the virtual time at which sysEx ran, so a send from a thread lands wherever the window thread's
// clock happened to be; with the block sent inline, delivery times are exact. The clock must outlive
// every run of it that could deliver this amp's replies.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "AmpModel.h"
#include "MidiLink.h"
#include "VirtualClock.h"

namespace kaldo::sim {

class InProcessAmp : public MidiLink {
public:
    using ReplySink = std::function<void(std::span<const std::uint8_t>)>;

    struct Delivery {
        std::int64_t atMs;  // virtual time of delivery
        std::vector<std::uint8_t> bytes;
    };

    InProcessAmp(VirtualClock& clock, PackedVersion revision, FaultPlan plan = {});

    // Where replies go; set it before the first send. Replies due while no sink is set are dropped.
    void setReplySink(ReplySink sink);

    bool outPortReady() const override;
    bool inPortReady() const override;
    bool sysEx(const std::uint8_t* data, std::size_t length) override;
    void put2(std::uint8_t status, std::uint8_t first) override;
    void deSelectCurrentMidi() override;
    void populateMidiSelect() override;
    void reCheckForMidiDevices() override;
    int platformOutputCount() override;

    // Test controls.
    void selectPorts(bool out = true, bool in = true);
    void setPlatformOutputCount(int count);

    // What happened, for the tests to look at.
    int deSelectCalls() const;
    int populateCalls() const;
    int reCheckCalls() const;
    std::vector<std::array<std::uint8_t, 2>> programChanges() const;
    std::vector<Delivery> deliveries() const;
    bool vanished() const;
    PackedVersion revision() const;
    std::vector<std::vector<std::uint8_t>> received() const;
    std::vector<std::uint8_t> receivedImage() const;
    std::string transcript() const;

private:
    void deliver(const std::vector<std::uint8_t>& bytes);

    VirtualClock& clock_;
    mutable std::mutex mutex_;
    AmpModel model_;
    ReplySink sink_;
    bool outReady_ = true;
    bool inReady_ = true;
    int outputCount_ = 1;
    int deSelectCalls_ = 0;
    int populateCalls_ = 0;
    int reCheckCalls_ = 0;
    std::vector<std::array<std::uint8_t, 2>> programChanges_;
    std::vector<Delivery> deliveries_;
};

}  // namespace kaldo::sim
