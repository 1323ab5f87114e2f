#include "AmpSimulator.h"
#include "Utf8.h"

#include <fstream>

namespace kaldo::sim {

using std::chrono::steady_clock;

AmpSimulator::AmpSimulator(AmpModel model, std::ostream& log, bool transcript, std::string imagePath)
    : log_(log), transcript_(transcript), imagePath_(std::move(imagePath)), model_(std::move(model)) {}

void AmpSimulator::receive(std::span<const std::uint8_t> piece) {
    if (piece.empty()) return;
    {
        std::lock_guard lock(mutex_);
        const auto now = steady_clock::now();
        if (now < deafUntil_) return;
        model_.arrived(piece.size());
        if (model_.vanished()) {
            wake_.notify_one();
            return;
        }
        std::vector<std::vector<std::uint8_t>> messages;
        // A channel message between System Exclusive messages reaches the model as it is.
        if (!assembler_.inMessage() && piece[0] >= 0x80 && piece[0] < 0xF0) {
            messages.emplace_back(piece.begin(), piece.end());
        } else {
            messages = assembler_.feed(piece);
        }
        for (const auto& message : messages) {
            for (auto& reply : model_.receive(message)) {
                if (reply.restart) {
                    restartAt_ = now + std::chrono::milliseconds(reply.delayMs);
                    continue;
                }
                pending_.emplace(Due{now + std::chrono::milliseconds(reply.delayMs), sequence_++},
                                 std::move(reply.bytes));
            }
        }
    }
    wake_.notify_one();
}

void AmpSimulator::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
}

bool AmpSimulator::workWaiting(steady_clock::time_point now) const {
    return stopping_ || model_.transcriptLines().size() > linesShown_ ||
           model_.uploadsEnded() > uploadsWritten_ || (model_.vanished() && !portsClosed_) ||
           (!pending_.empty() && pending_.begin()->first.first <= now) || (restartAt_ && *restartAt_ <= now);
}

void AmpSimulator::run(const Line& line) {
    std::unique_lock lock(mutex_);
    while (true) {
        std::optional<steady_clock::time_point> next = restartAt_;
        if (!pending_.empty() && (!next || pending_.begin()->first.first < *next)) {
            next = pending_.begin()->first.first;
        }
        if (!next) {
            wake_.wait(lock, [&] { return workWaiting(steady_clock::now()) || !pending_.empty() || restartAt_; });
        } else {
            // A reply queued meanwhile may be due before the one waited for.
            const auto until = *next;
            wake_.wait_until(lock, until, [&] {
                return workWaiting(steady_clock::now()) ||
                       (!pending_.empty() && pending_.begin()->first.first < until);
            });
        }
        // What came in before the stop is still shown, written and answered if due.
        const bool stopping = stopping_;

        std::vector<std::vector<std::uint8_t>> due;
        const auto now = steady_clock::now();
        while (!pending_.empty() && pending_.begin()->first.first <= now) {
            due.push_back(std::move(pending_.begin()->second));
            pending_.erase(pending_.begin());
        }
        const auto& lines = model_.transcriptLines();
        std::vector<std::string> shown(lines.begin() + static_cast<std::ptrdiff_t>(linesShown_), lines.end());
        linesShown_ = lines.size();
        std::vector<std::uint8_t> image;
        const bool imageDue = model_.uploadsEnded() > uploadsWritten_;
        if (imageDue) {
            uploadsWritten_ = model_.uploadsEnded();
            image = model_.receivedImage();
        }
        const bool vanishing = model_.vanished() && !portsClosed_;
        if (vanishing) {
            portsClosed_ = true;
            pending_.clear();
            due.clear();
            restartAt_.reset();
        }
        // Replies due at the same moment go first: the amp's last word leaves before it restarts.
        const bool restarting = !stopping && restartAt_ && *restartAt_ <= now && pending_.empty();
        if (restarting) restartAt_.reset();

        // Sends, prints and files happen without the lock, so the input thread never waits on them.
        lock.unlock();
        for (const auto& reply : due) {
            if (!line.send(reply)) log_ << "kaldo-amp-sim: a reply could not be sent\n";
        }
        if (transcript_) {
            for (const auto& text : shown) log_ << text << '\n';
        }
        if (imageDue && !imagePath_.empty()) writeImage(image);
        if (vanishing) {
            line.leave();
            log_ << "kaldo-amp-sim vanished: ports closed\n";
        }
        log_.flush();
        if (stopping) return;
        lock.lock();
        if (restarting) restart(line, lock);
    }
}

void AmpSimulator::restart(const Line& line, std::unique_lock<std::mutex>& lock) {
    const auto& plan = model_.plan();
    lock.unlock();
    line.leave();
    log_ << "kaldo-amp-sim restarting: gone" << std::endl;
    lock.lock();
    if (plan.restartNeverBack) return;
    if (wake_.wait_for(lock, std::chrono::milliseconds(plan.restartOffMs), [&] { return stopping_; })) return;
    deafUntil_ = steady_clock::time_point::max();  // the new ports may deliver before they are counted back
    lock.unlock();
    const bool back = line.comeBack();
    lock.lock();
    deafUntil_ = steady_clock::now() + std::chrono::milliseconds(plan.midiReadyDelayMs);
    log_ << (back ? "kaldo-amp-sim back, revision " + versionText(model_.revision())
                  : std::string("kaldo-amp-sim could not come back"))
         << std::endl;
}

void AmpSimulator::writeImage(const std::vector<std::uint8_t>& image) {
    std::ofstream file(pathFromUtf8(imagePath_), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    file.close();
    if (file) {
        log_ << "kaldo-amp-sim: received image written to " << imagePath_ << " (" << image.size()
             << " bytes)\n";
    } else {
        log_ << "kaldo-amp-sim: could not write the received image to " << imagePath_ << '\n';
    }
}

}  // namespace kaldo::sim
