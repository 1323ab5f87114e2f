#pragma once
// The updater's engine as one object: the loaded firmware, the reply state, the receive log, the
// reply time-out, the cancel button and the upload itself, over the ports the program gives it. It
// holds no state outside itself, so one process may run several, one per amp.
// The desktop program's main window and kaldo-flash both build on it. All of it runs on the window
// thread except MidiIn1SysEx (the MIDI input thread) and requestStop (any thread).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FirmwareLoader.h"
#include "Memo.h"
#include "ProgressClock.h"
#include "ReplyState.h"
#include "ReplyTimeout.h"
#include "SharedFlags.h"
#include "UploadOutcome.h"

namespace kaldo {

class BlockSenderFactory;
class Clock;
class MidiLink;
class PanelShows;
class SleepGuard;
class UpdaterUi;

class Updater {
public:
    Updater(Clock& clock, UpdaterUi& ui, MidiLink& link, PanelShows& shows, BlockSenderFactory& senders,
            SleepGuard& sleep);
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    SharedFlags flags;
    FirmwareLoader loader;
    ReplyState replies;
    Memo memo;  // Memo1, the receive log

    // The reply handler, OnSysEx of the MIDI input: records the reply, wakes the waits and hands the
    // log line and the version captions to the window thread. MIDI input thread.
    void MidiIn1SysEx(const std::uint8_t* bytes, std::size_t count);

    // The reply time-out (Timer4).
    void initTimeout(int ms) { timeout_.initTimeout(ms); }
    void Timer4Timer() { timeout_.Timer4Timer(); }
    bool timeoutCheck() { return timeout_.timeoutCheck(); }

    // The on-screen cancel button (Image2 and Label1). CancelMouseUp asks a running packet upload
    // to end after the packet in flight.
    void CancelMouseDown();
    void CancelMouseUp();
    bool cancelRequested() const { return cancelRequested_; }

    // Returns the window to its idle look and the send position to the image start.
    void resetCodeUpload();

    // Button1, the hidden button: the reconnect sequence. Does nothing while an upload runs.
    void Button1Click();

    // "Upload Code": sends the loaded firmware and says how it ended. Refused (Failed, Busy) while
    // an upload is already running.
    UploadResult Button2Click();

    // "Open &Firmware" and the wizard's loads go through here: refused while an upload runs, which
    // then keeps its image (returns the current loadResult).
    int ReadFile(const std::string& path);

    // While true, commands that would change the image, the send position or the ports must not
    // take effect (a second "Upload Code", "Open &Firmware", a device change).
    bool uploadRunning() const { return running_; }

    // While true, a device change must not take effect: the running upload holds the ports. It
    // releases them before its closing dialogs, which ask the user to choose the ports again.
    bool devicesLocked() const { return running_ && !portsReleased_; }

    // Asks a running upload to end at its next pause or wait, quietly: the program is closing.
    // Button2Click then returns Terminated (Stopped) with the sender joined, and starts no upload
    // from then on. Any thread.
    void requestStop() { stopRequested_ = true; }

    // The amp's output port has gone from the system (unplugged, switched off). A running upload
    // that has not sent its last packet ends as failed at its next pause or wait: whatever it sends
    // from now on reaches nobody. Window thread.
    void outputPortGone() {
        if (running_) outputGone_ = true;
    }

    // State of the last or running upload.
    std::size_t imageStart() const { return imageStart_; }
    int errorCount() const { return errorCount_; }

private:
    friend class UploadSequence;

    // The upload is done with the ports: closes them, and device changes take effect again.
    void releasePorts();

    Clock& clock_;
    UpdaterUi& ui_;
    MidiLink& link_;
    PanelShows& shows_;
    BlockSenderFactory& senders_;
    SleepGuard& sleep_;
    ReplyTimeout timeout_;
    ProgressClock progressClock_;  // Timer1, the progress clock of a single-block upload

    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> stopRequested_{false};
    bool outputGone_ = false;
    bool running_ = false;
    bool portsReleased_ = false;
    std::size_t imageStart_ = 0;
    int errorCount_ = 0;
};

}  // namespace kaldo
