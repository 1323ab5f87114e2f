#include "RawMidiPort.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace kaldo::sim {
namespace {

// The kernel's largest raw MIDI buffer. The reader must never be the one that drops: with the
// default 4 KB a block from a fast USB link would overrun it while the reader is descheduled.
constexpr std::size_t kReceiveBuffer = 1024 * 1024;
// How long an amp restarting may take to be seen again by its own firmware.
constexpr auto kComeBackWithin = std::chrono::seconds(20);

void check(int result, const std::string& what) {
    if (result < 0) throw std::runtime_error(what + ": " + snd_strerror(result));
}

std::string readLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

bool writeLine(const std::string& path, const std::string& line) {
    std::ofstream file(path);
    file << line << '\n';
    file.close();
    return static_cast<bool>(file);
}

// A raw device hands over whatever bytes have come, two messages run together or one in parts; the
// simulator takes a channel message only as a piece of its own. So a piece ends before every status
// byte but F7, which ends the message it belongs to; real-time bytes (F8 and up) are left to the
// assembler, which drops them.
void deliverCut(std::span<const std::uint8_t> bytes, const RawMidiPort::Receive& receive) {
    std::size_t start = 0;
    for (std::size_t i = 1; i < bytes.size(); ++i) {
        if (bytes[i] >= 0x80 && bytes[i] != 0xF7 && bytes[i] < 0xF8) {
            receive(bytes.subspan(start, i - start));
            start = i;
        }
    }
    if (start < bytes.size()) receive(bytes.subspan(start));
}

}  // namespace

RawMidiPort::RawMidiPort(std::string device, std::string usbGadget, Receive receive)
    : device_(std::move(device)), gadget_(std::move(usbGadget)), receive_(std::move(receive)) {
    if (!gadget_.empty()) {
        controller_ = readLine(gadget_ + "/UDC");
        if (controller_.empty()) throw std::runtime_error("USB gadget " + gadget_ + " is not plugged in (its UDC is empty)");
    }
    open();
}

RawMidiPort::~RawMidiPort() {
    close();
}

void RawMidiPort::open() {
    check(snd_rawmidi_open(&in_, &out_, device_.c_str(), 0), "cannot open raw MIDI device " + device_);
    snd_rawmidi_params_t* params = nullptr;
    snd_rawmidi_params_alloca(&params);
    check(snd_rawmidi_params_current(in_, params), device_);
    check(snd_rawmidi_params_set_buffer_size(in_, params, kReceiveBuffer), device_ + ": receive buffer");
    check(snd_rawmidi_params(in_, params), device_ + ": receive buffer of " + std::to_string(kReceiveBuffer));
    check(snd_rawmidi_nonblock(in_, 1), device_);
    startInput();
    if (pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    reader_ = std::thread([this] { readLoop(); });
}

// The gadget throws away what the computer sends until the device is first polled or read: an amp
// that said it was ready before its reader got that far lost the start of the first message. So the
// input starts here, before anyone is told the amp is there.
void RawMidiPort::startInput() {
    std::vector<pollfd> fds(static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(in_)));
    snd_rawmidi_poll_descriptors(in_, fds.data(), static_cast<unsigned>(fds.size()));
    (void)poll(fds.data(), fds.size(), 0);
}

void RawMidiPort::close() {
    if (reader_.joinable()) {
        (void)!write(stopPipe_[1], "x", 1);
        reader_.join();
    }
    for (int& fd : stopPipe_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    if (in_) snd_rawmidi_close(in_);
    if (out_) snd_rawmidi_close(out_);
    in_ = out_ = nullptr;
}

void RawMidiPort::readLoop() {
    std::vector<pollfd> fds(1 + static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(in_)));
    fds[0] = {stopPipe_[0], POLLIN, 0};
    snd_rawmidi_poll_descriptors(in_, fds.data() + 1, static_cast<unsigned>(fds.size() - 1));
    std::vector<std::uint8_t> buffer(4096);
    while (poll(fds.data(), fds.size(), -1) >= 0 && fds[0].revents == 0) {
        const auto got = snd_rawmidi_read(in_, buffer.data(), buffer.size());
        if (got == -EAGAIN) continue;
        if (got < 0) return;  // the device went (the gadget was unplugged)
        deliverCut(std::span(buffer.data(), static_cast<std::size_t>(got)), receive_);
    }
}

bool RawMidiPort::send(std::span<const std::uint8_t> message) {
    if (!out_) return false;
    std::size_t sent = 0;
    while (sent < message.size()) {
        const auto wrote = snd_rawmidi_write(out_, message.data() + sent, message.size() - sent);
        if (wrote < 0) return false;
        sent += static_cast<std::size_t>(wrote);
    }
    return true;
}

void RawMidiPort::leave() {
    if (out_) snd_rawmidi_drain(out_);
    close();
    if (!gadget_.empty()) writeLine(gadget_ + "/UDC", "");
}

bool RawMidiPort::comeBack() {
    if (!gadget_.empty() && !writeLine(gadget_ + "/UDC", controller_)) return false;
    // The gadget's card is made anew when the gadget binds; until then the name finds nothing.
    const auto deadline = std::chrono::steady_clock::now() + kComeBackWithin;
    while (true) {
        try {
            open();
            return true;
        } catch (const std::runtime_error&) {
            close();
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

std::string RawMidiPort::description() const {
    return "raw MIDI device " + device_ + (gadget_.empty() ? "" : " (USB gadget " + gadget_ + ")");
}

}  // namespace kaldo::sim
