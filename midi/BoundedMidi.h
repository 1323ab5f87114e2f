#pragma once
// A MIDI system that answers in time or is said not to answer. A system can hang: a JACK server that
// was stopped keeps every client that asks it anything waiting (for minutes), and a stuck driver does
// the same. So every call that asks the system (listing, opening, watching, and closing what was
// opened) runs on a thread of its own while the caller waits at most the time limit. A call that
// did not return in time leaves the system silent: the calls after it fail at once, without asking,
// until that late call returns; then the system answers again and onAnswering is told. What a late
// call opened is closed again on its own thread. Sends go straight through: they bound their own
// waits (SysExWaitLimit.h).
//
// One call hangs at most: while it is out, nothing else is asked. Calls come from one thread at a
// time (the window thread); connections may send and receive on any.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "MidiBackend.h"

namespace kaldo::midi {

class BoundedMidi : public MidiBackend {
public:
    BoundedMidi(std::shared_ptr<MidiBackend> system, std::chrono::milliseconds limit);
    ~BoundedMidi() override;
    BoundedMidi(const BoundedMidi&) = delete;
    BoundedMidi& operator=(const BoundedMidi&) = delete;

    // Empty lists and failed opens (kResultError) while the system is silent.
    std::vector<std::string> outputNames() override;
    std::vector<std::string> inputNames() override;
    Opened<MidiOutConnection> openOutput(const std::string& device) override;
    Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) override;
    std::unique_ptr<DeviceWatch> watchDevices(std::function<void()> changed) override;
    std::string systemName() const override;

    // The name of the system that did not answer in time ("JACK"), empty while it answers.
    std::string silentSystem() const;
    // The same for people: "JACK did not answer within 3 s", empty while it answers.
    std::string silence() const;
    std::chrono::milliseconds limit() const { return limit_; }

    // Told, on the thread of the late call, when a silent system has answered after all. Replaced or
    // cleared (empty) only when no call of it is running: the clearing waits for one to end.
    void setOnAnswering(std::function<void()> told);

    // Asks the system on threads of its own; shared with the connections, which close through it.
    class Asker;

private:
    std::shared_ptr<Asker> asker_;
    std::chrono::milliseconds limit_;
};

}  // namespace kaldo::midi
