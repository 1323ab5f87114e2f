#pragma once
// The ports of the ALSA sequencer, named as RtMidi names them ("client name:port name client:port"),
// listed by one client of ours that lives as long as the list. A listing through RtMidi started a
// client of its own and ended it again, and the sequencer announces every client that starts or
// exits: a device watch took that as a change and listed again, and so on for ever (a window that
// had seen one device change kept a processor busy and fell seconds behind the real changes).
// This client starts once and has no ports, so a listing announces nothing.
#include <mutex>
#include <string>
#include <vector>

struct _snd_seq;

namespace kaldo::midi {

class AlsaPortList {
public:
    // Ports of clients whose names begin with ourName are ours: they are left out of the lists.
    explicit AlsaPortList(std::string ourName);
    ~AlsaPortList();
    AlsaPortList(const AlsaPortList&) = delete;
    AlsaPortList& operator=(const AlsaPortList&) = delete;

    // In the sequencer's order; empty when there is no sequencer. Any thread.
    std::vector<std::string> outputs();  // ports others may write to
    std::vector<std::string> inputs();   // ports others may read from

private:
    std::vector<std::string> names(unsigned capabilities);

    std::string ourName_;
    std::mutex mutex_;
    _snd_seq* seq_ = nullptr;  // opened at the first listing, and again after a failed open
};

}  // namespace kaldo::midi
