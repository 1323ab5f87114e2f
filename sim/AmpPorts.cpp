#include "AmpPorts.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace kaldo::sim {
namespace {

bool compiled(RtMidi::Api api) {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    for (const auto a : apis) {
        if (a == api) return true;
    }
    return false;
}

// The sequencer device exists only where ALSA MIDI is usable; JACK needs a running server instead.
RtMidi::Api chooseApi() {
    if (compiled(RtMidi::LINUX_ALSA) && access("/dev/snd/seq", R_OK | W_OK) == 0) return RtMidi::LINUX_ALSA;
    if (compiled(RtMidi::UNIX_JACK)) return RtMidi::UNIX_JACK;
    return RtMidi::UNSPECIFIED;
}

// RtMidi reports through here instead of throwing or printing: a note of what went wrong, for the
// opening to turn into an exception and for a send to return false.
void onError(RtMidiError::Type, const std::string& text, void* note) {
    auto& n = *static_cast<AmpPorts::ErrorNote*>(note);
    n.failed = true;
    n.text = text;
}

void check(const AmpPorts::ErrorNote& note) {
    if (note.failed) throw std::runtime_error(note.text);
}

}  // namespace

AmpPorts::AmpPorts(const std::string& name, Receive receive) : receive_(std::move(receive)) {
    const RtMidi::Api api = chooseApi();
    try {
        in_ = std::make_unique<RtMidiIn>(api, name + " In");
        in_->setErrorCallback(&onError, &inNote_);
        in_->ignoreTypes(false, true, true);
        in_->setCallback(&AmpPorts::onInput, this);
        in_->openVirtualPort("in");
        check(inNote_);
        out_ = std::make_unique<RtMidiOut>(api, name + " Out");
        out_->setErrorCallback(&onError, &outNote_);
        out_->openVirtualPort("out");
        check(outNote_);
        apiName_ = RtMidi::getApiDisplayName(in_->getCurrentApi());
    } catch (const RtMidiError& e) {
        throw std::runtime_error(e.getMessage());
    }
}

AmpPorts::~AmpPorts() {
    close();
}

void AmpPorts::onInput(double, std::vector<unsigned char>* message, void* self) {
    static_cast<AmpPorts*>(self)->receive_(std::span(message->data(), message->size()));
}

bool AmpPorts::send(std::span<const std::uint8_t> message) {
    if (!out_) return false;
    outNote_.failed = false;
    out_->sendMessage(message.data(), message.size());
    return !outNote_.failed;
}

void AmpPorts::close() {
    if (in_) {
        in_->cancelCallback();
        in_->closePort();
    }
    in_.reset();
    out_.reset();
}

}  // namespace kaldo::sim
