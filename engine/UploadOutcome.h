#pragma once
// How an upload ended, so that nobody after it reports success after a failure.
namespace kaldo {

enum class UploadOutcome {
    Completed,   // the whole image went out (and, with replies, the amp reported it programmed)
    Failed,      // nothing or not all of it went out, or the amp reported a failure
    Declined,    // the user answered Cancel to a version question; nothing was sent
    Terminated,  // the user cancelled after a packet, or the program was closing
};

enum class UploadWay { None, SingleBlock, Handshake, Blind };

// Why an upload failed or ended early; None for a completed or declined upload.
enum class UploadFailure {
    None,
    NoOutPort,     // "Select a MIDI Out Port"
    NoFirmware,    // "Select Firmware file"
    Busy,          // an upload was already running; the request was ignored
    TimedOut,      // the amp did not answer in time
    VerifyFailed,  // the amp answered 7A
    SendFailed,    // the MIDI output refused or lost a block
    UserCancel,    // the cancel button
    Stopped,       // the program asked the upload to stop (closing)
    PortGone,      // the amp's output port went away before the last packet had gone
};

struct UploadResult {
    UploadOutcome outcome = UploadOutcome::Failed;
    UploadWay way = UploadWay::None;
    UploadFailure failure = UploadFailure::None;
    int errorCount = 0;  // packet-error replies (74)
    // The input port was ready but the amp did not answer the Identity Request before the upload, so
    // a file that could have gone in handshake mode went blind.
    bool ampSilent = false;
};

}  // namespace kaldo
