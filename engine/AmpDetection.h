#pragma once
// Finding the amps on the machine's MIDI: the Identity Request goes to one output at a time while
// every input listens, and an output is paired with the input where the amp's Identity Reply (maker
// 00 00 5A) arrives. Every device on the line answers the request (it is addressed to all), so other
// makers' answers are listed apart and never taken for an amp. Our own request coming back (a port
// that echoes what it is sent, as the kernel's MIDI through port does) is no answer at all. Nothing
// but Identity Requests is sent.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "Version.h"

namespace kaldo {

class Clock;

// The MIDI system as detection uses it, in the updater's numbering of devices.
class DetectionLine {
public:
    virtual ~DetectionLine() = default;
    virtual std::vector<std::string> outputs() = 0;
    virtual std::vector<std::string> inputs() = 0;
    // Opens every input; every System Exclusive message that arrives goes to heard with its input's
    // number, on the system's threads, until stopListening().
    virtual void listen(std::function<void(int input, std::span<const std::uint8_t> message)> heard) = 0;
    virtual void stopListening() = 0;
    // Opens output `out`, sends the message and closes it again; false when that could not be done.
    virtual bool sendTo(int out, std::span<const std::uint8_t> message) = 0;
};

struct DetectedPort {
    int number = -1;
    std::string name;
};

struct FoundAmp {
    DetectedPort out;
    DetectedPort in;
    PackedVersion version = kNoVersion;
    std::string versionText;  // "02.80"
};

// Another maker's device that answered, with its manufacturer ID as hex bytes ("00 20 6B", "43").
struct OtherDevice {
    DetectedPort out;
    DetectedPort in;
    std::string manufacturer;
};

struct Detection {
    std::vector<FoundAmp> amps;
    std::vector<OtherDevice> others;
};

// How long an output is given for its answers by default, and how long after an answer the others
// of the same output have: a device chained behind another answers a little later. On a line that
// answers slower than that (a loaded computer, a slow hub), the window doubles up to the longest.
inline constexpr int kDetectionAnswerMs = 500;
inline constexpr int kDetectionSettleMs = 100;
inline constexpr int kDetectionLongestAnswerMs = 4000;

// Asks every output in turn, waiting on the clock for the answers to each: answerMs when nothing
// answers, less once something has; the clock's window stays live meanwhile. An output that is
// answered is asked once more, and a device counts only when it answers both times on the same input:
// an answer that comes too late for its own output is never taken for the next one's. After the last
// output the line has one window more, for an answer still on its way.
Detection detectAmps(DetectionLine& line, Clock& clock, int answerMs = kDetectionAnswerMs);

// The manufacturer ID of an Identity Reply of any maker, as hex bytes; empty when it is none.
std::string manufacturerOf(std::span<const std::uint8_t> identityReply);

}  // namespace kaldo
