#pragma once
// One run of "Upload Code" (Button2Click): the start checks and the three ways of sending, single
// block, handshake and blind, each with its texts, pauses and time-outs, and every way out.
#include <cstdint>
#include <string>

#include "UploadOutcome.h"

namespace kaldo {

class BlockSender;
class Updater;

class UploadSequence {
public:
    explicit UploadSequence(Updater& updater) : u_(updater) {}
    UploadResult run();

private:
    // The ends every run goes through: the cancel request dropped, the count and the amp's silence
    // recorded in the result.
    UploadResult finish(UploadResult result);
    bool askAmpVersion();
    UploadResult singleBlock();
    UploadResult handshake();
    UploadResult blind();
    bool usbOffer();

    // The ends of a run.
    void showEnd(const std::string& status);
    void forgetAmpVersion();
    UploadResult completed();
    UploadResult declined();
    UploadResult timedOut();
    UploadResult sendFailed();
    UploadResult verifyFailed();
    UploadResult terminate(const char* text, bool handshake, BlockSender& sender);
    UploadResult stopped();

    // Pauses and waits that notice a stop request or a lost output port; false when the run is to end.
    bool pump();
    bool pause(int ms);
    bool waitForNotify(int ms);
    bool stopping() const;

    // Whether the image holds every block this run would send.
    bool imageHoldsPackets() const;
    void sendStarting(int gaugeMax);
    const std::uint8_t* sendAddress() const;

    Updater& u_;
    UploadWay way_ = UploadWay::None;
    bool ampSilent_ = false;
    bool firmwareSent_ = false;  // the header or the block went out
    bool allSent_ = false;  // the last packet or the block has left: a port going away no longer matters
};

}  // namespace kaldo
