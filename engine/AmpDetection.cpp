#include "AmpDetection.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <utility>

#include "Clock.h"
#include "Messages.h"

namespace kaldo {

namespace {

constexpr std::size_t kManufacturerOffset = 5;

struct Heard {
    int input;
    std::vector<std::uint8_t> message;
};

// The answers of one request, gathered on the system's threads.
class Answers {
public:
    void add(int input, std::span<const std::uint8_t> message) {
        std::lock_guard lock(mutex_);
        heard_.push_back({input, {message.begin(), message.end()}});
    }
    std::vector<Heard> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(heard_, {});
    }

private:
    std::mutex mutex_;
    std::vector<Heard> heard_;
};

DetectedPort port(const std::vector<std::string>& names, int number) {
    return {number, names.at(static_cast<std::size_t>(number))};
}

}  // namespace

std::string manufacturerOf(std::span<const std::uint8_t> reply) {
    if (!isIdentityReply(reply) || reply.size() <= kManufacturerOffset) return {};
    // A first byte of 00 means a three-byte ID.
    const std::size_t length = reply[kManufacturerOffset] == 0x00 ? 3 : 1;
    if (reply.size() < kManufacturerOffset + length) return {};
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "", reply[kManufacturerOffset + i]);
        text += byte;
    }
    return text;
}

Detection detectAmps(DetectionLine& line, Clock& clock, int answerMs) {
    const auto outputs = line.outputs();
    const auto inputs = line.inputs();
    Answers answers;
    line.listen([&answers, &clock](int input, std::span<const std::uint8_t> message) {
        if (!isIdentityReply(message)) return;
        answers.add(input, message);
        clock.notify();
    });
    Detection found;
    for (int out = 0; out < static_cast<int>(outputs.size()); ++out) {
        answers.take();  // late answers to the output before
        if (!line.sendTo(out, kIdentityRequest)) continue;
        // Every device on the line may answer, a chained one a little after the first: once an answer
        // has come, the others have kDetectionSettleMs more, within answerMs in all. The window is
        // live meanwhile.
        const std::int64_t limit = clock.nowMs() + answerMs;
        std::int64_t deadline = limit;
        std::vector<Heard> heardHere;
        for (std::int64_t now = clock.nowMs(); now < deadline; now = clock.nowMs()) {
            clock.waitForNotify(static_cast<int>(deadline - now));
            auto more = answers.take();
            if (more.empty()) continue;
            heardHere.insert(heardHere.end(), std::make_move_iterator(more.begin()),
                             std::make_move_iterator(more.end()));
            deadline = std::min(limit, clock.nowMs() + kDetectionSettleMs);
        }
        for (const Heard& heard : heardHere) {
            if (heard.input < 0 || heard.input >= static_cast<int>(inputs.size())) continue;
            const auto pairedWith = [&](const auto& listed) {
                return listed.out.number == out && listed.in.number == heard.input;
            };
            if (const auto amp = identityReplyOf(heard.message)) {
                if (std::none_of(found.amps.begin(), found.amps.end(), pairedWith)) {
                    found.amps.push_back(
                        {port(outputs, out), port(inputs, heard.input), amp->version, amp->text});
                }
            } else if (std::none_of(found.others.begin(), found.others.end(), pairedWith)) {
                found.others.push_back(
                    {port(outputs, out), port(inputs, heard.input), manufacturerOf(heard.message)});
            }
        }
    }
    line.stopListening();
    return found;
}

}  // namespace kaldo
