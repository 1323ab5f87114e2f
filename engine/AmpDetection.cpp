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

// Whether a device answered among these: an answer on the same input from the same maker.
bool heardAmong(const std::vector<Heard>& answers, const Heard& one) {
    return std::any_of(answers.begin(), answers.end(), [&one](const Heard& other) {
        return other.input == one.input && manufacturerOf(other.message) == manufacturerOf(one.message);
    });
}

bool containsAll(const std::vector<Heard>& answers, const std::vector<Heard>& these) {
    return std::all_of(these.begin(), these.end(), [&answers](const Heard& one) { return heardAmong(answers, one); });
}

// Waits on the clock for answers until the deadline: what came, or nothing once it has passed.
std::vector<Heard> answersBefore(Clock& clock, Answers& answers, std::int64_t deadline) {
    for (std::int64_t now = clock.nowMs(); now < deadline; now = clock.nowMs()) {
        clock.waitForNotify(static_cast<int>(deadline - now));
        if (auto heard = answers.take(); !heard.empty()) return heard;
    }
    return {};
}

// Asks output `out` and gathers what answers. Every device on the line may answer, a chained one a
// little after the first: once an answer has come, the others have a fifth of the window more, within
// the window in all. Asked again, the output is done as soon as everything that answered before has
// answered again. An answer that comes between two questions counts for the next: a late one then
// shows as what it is when asked again. The window is live meanwhile.
std::vector<Heard> ask(DetectionLine& line, Clock& clock, Answers& answers, int out, int windowMs,
                       const std::vector<Heard>& answeredBefore = {}) {
    std::vector<Heard> heard;
    if (!line.sendTo(out, kIdentityRequest)) return heard;
    const int settleMs = std::max(1, windowMs * kDetectionSettleMs / kDetectionAnswerMs);
    const std::int64_t limit = clock.nowMs() + windowMs;
    for (std::int64_t deadline = limit;;) {
        auto more = answersBefore(clock, answers, deadline);
        if (more.empty()) return heard;
        heard.insert(heard.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
        if (!answeredBefore.empty() && containsAll(heard, answeredBefore)) return heard;
        deadline = std::min(limit, clock.nowMs() + settleMs);
    }
}

// Before starting over: lets the answers still on their way arrive and drops them, until the line
// has been quiet for quietMs (or four times that has passed, for a device that never stops).
void waitForQuiet(Clock& clock, Answers& answers, int quietMs) {
    const std::int64_t giveUp = clock.nowMs() + 4LL * quietMs;
    while (!answersBefore(clock, answers, std::min(giveUp, clock.nowMs() + quietMs)).empty()) {
        // each answer starts the quiet over
    }
}

void record(Detection& found, const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
            int out, const Heard& heard) {
    if (heard.input < 0 || heard.input >= static_cast<int>(inputs.size())) return;
    const auto pairedWith = [&](const auto& listed) {
        return listed.out.number == out && listed.in.number == heard.input;
    };
    if (const auto amp = identityReplyOf(heard.message)) {
        if (std::none_of(found.amps.begin(), found.amps.end(), pairedWith)) {
            found.amps.push_back({port(outputs, out), port(inputs, heard.input), amp->version, amp->text});
        }
    } else if (std::none_of(found.others.begin(), found.others.end(), pairedWith)) {
        found.others.push_back({port(outputs, out), port(inputs, heard.input), manufacturerOf(heard.message)});
    }
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
    // An answer is taken for the output asked last, so one that comes after its output's window is
    // counted for the next output: asked again, an output that really leads there is answered on the
    // same inputs once more. When it is not, or an answer comes after the last output's window, the
    // line answers slower than the window, and detection starts over with a window twice as long.
    const int longest = std::max(answerMs, kDetectionLongestAnswerMs);
    for (int window = answerMs;; window *= 2) {
        const bool lastTry = window * 2 > longest;
        Detection found;
        bool late = false;
        for (int out = 0; out < static_cast<int>(outputs.size()); ++out) {
            const auto first = ask(line, clock, answers, out, window);
            if (first.empty()) continue;
            const auto again = ask(line, clock, answers, out, window, first);
            if (!containsAll(again, first) || !containsAll(first, again)) {
                late = true;
                if (!lastTry) break;
            }
            // On the last try, only what answered both times is kept.
            for (const Heard& heard : first) {
                if (heardAmong(again, heard)) record(found, outputs, inputs, out, heard);
            }
        }
        // An answer to the last outputs may still be on its way: the line is given one window more.
        if (!late && !lastTry) late = !answersBefore(clock, answers, clock.nowMs() + window).empty();
        if (!late || lastTry) {
            line.stopListening();
            return found;
        }
        waitForQuiet(clock, answers, window * 2);
    }
}

}  // namespace kaldo
