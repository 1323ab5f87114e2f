#include "Threader.h"

#include "Clock.h"
#include "MidiLink.h"

namespace kaldo {

Threader::Threader(MidiLink& link, Clock* wake) : link_(link), wake_(wake) {}

Threader::~Threader() { finish(); }

void Threader::start(const std::uint8_t* data, std::size_t length) {
    done_ = false;
    thread_ = std::thread([this, data, length] {
        sent_ = link_.sysEx(data, length);
        done_.store(true, std::memory_order_release);
        if (wake_) wake_->notify();
    });
}

bool Threader::done() const { return done_.load(std::memory_order_acquire); }

bool Threader::finish() {
    if (thread_.joinable()) thread_.join();
    return sent_;
}

std::unique_ptr<BlockSender> ThreaderFactory::make(MidiLink& link) { return std::make_unique<Threader>(link, wake_); }

}  // namespace kaldo
