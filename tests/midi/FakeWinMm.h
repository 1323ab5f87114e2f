#pragma once
// winmm in memory, behaving as its documentation describes: numbered devices with UTF-16 names,
// handles, headers that are prepared, queued and handed back with MHDR_DONE, and a driver thread that
// plays output buffers, fills input buffers and makes the callbacks. It keeps a record of what a
// program did against winmm's rules: a buffer call made inside a callback, a close refused because a
// buffer was still queued, headers left prepared, handles left open.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "WinMm.h"

namespace kaldo::midi::testing {

class FakeWinMm {
public:
    FakeWinMm();
    ~FakeWinMm();
    FakeWinMm(const FakeWinMm&) = delete;
    FakeWinMm& operator=(const FakeWinMm&) = delete;

    // The table a WinMmBackend is built on. The fake must outlive the backend and its connections.
    winmm::Api api();

    // Set before the backend looks.
    std::vector<std::u16string> outputs;
    std::vector<std::u16string> inputs;
    std::set<unsigned> refusing;  // devices another program has: the open answers MMSYSERR_ALLOCATED

    // Output: while stalled, the driver keeps every block it is given until a reset.
    void stallOutput(bool stalled);
    // What midiOutLongMsg answers (0: it takes the block).
    void answerLongMessages(winmm::Result result);

    // Every System Exclusive buffer that left output device d, in order, and its short messages.
    std::vector<std::vector<std::uint8_t>> sentBuffers(unsigned device) const;
    std::vector<std::uint32_t> sentShortMessages(unsigned device) const;
    int resets(unsigned device) const;

    // Bytes reaching input device d: one short message, or System Exclusive bytes (a whole message,
    // or a part of one). The driver thread puts them into the queued buffers, handing each back when
    // it is full or holds an F7; without a queued buffer they are lost. Returns once they are played,
    // with the count of bytes lost.
    std::size_t arrive(unsigned device, std::vector<std::uint8_t> bytes);
    // Bytes that reach input device d the moment it starts (inside midiInStart).
    void arriveAtStart(unsigned device, std::vector<std::uint8_t> bytes);
    // Buffers with the driver of the open input device d.
    std::size_t queuedBuffers(unsigned device) const;
    // Waits until that many are queued again; false after 30 s (a test that would otherwise hang).
    bool waitForQueuedBuffers(unsigned device, std::size_t count) const;

    std::vector<std::string> violations() const;
    int openHandles() const;
    int preparedHeaders() const;

private:
    struct Port {
        bool output = false;
        unsigned device = 0;
        winmm::Callback callback = nullptr;
        std::uintptr_t instance = 0;
        bool open = true;
        bool started = false;
        bool inSysEx = false;
        std::deque<winmm::Header*> queue;  // with the driver, in order
        std::set<winmm::Header*> prepared;
        int resets = 0;
    };

    Port* port(winmm::Handle handle, bool output);  // an open port of ours, or null
    winmm::Result open(winmm::Handle* handle, bool output, unsigned device, winmm::Callback callback,
                       std::uintptr_t instance);
    winmm::Result close(winmm::Handle handle, bool output);
    winmm::Result prepare(winmm::Handle handle, bool output, winmm::Header* header);
    winmm::Result unprepare(winmm::Handle handle, bool output, winmm::Header* header);
    winmm::Result queue(winmm::Handle handle, bool output, winmm::Header* header);
    winmm::Result reset(winmm::Handle handle, bool output);
    winmm::Result start(winmm::Handle handle);
    winmm::Result shortMessage(winmm::Handle handle, std::uint32_t message);
    void noteRuleCall(const char* call);  // a call winmm forbids inside a callback

    // Driver work. The lock is held on entry and exit and let go around each callback.
    void play(Port& port);
    void fill(Port& port, const std::vector<std::uint8_t>& bytes, std::size_t& lost);
    void handBack(Port& port, unsigned message);
    void notify(Port& port, unsigned message, std::uintptr_t first);
    Port* openInput(unsigned device) const;
    // Runs job on the driver thread (the lock held) and waits for it.
    void onDriver(std::function<void()> job);
    void driverLoop();

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    std::uint64_t jobsDone_ = 0;
    std::uint64_t jobsQueued_ = 0;
    bool quitting_ = false;
    std::vector<std::unique_ptr<Port>> ports_;
    bool stalled_ = false;
    winmm::Result longMessageAnswer_ = winmm::kNoError;
    std::map<unsigned, std::vector<std::vector<std::uint8_t>>> sentBuffers_;
    std::map<unsigned, std::vector<std::uint32_t>> sentShort_;
    std::map<unsigned, std::vector<std::uint8_t>> atStart_;
    std::vector<std::string> violations_;
    std::thread driver_;
};

}  // namespace kaldo::midi::testing
