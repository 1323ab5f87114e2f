#include "AlsaDeviceWatch.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace kaldo::midi {

namespace {

bool announcesAChange(const snd_seq_event_t& event) {
    switch (event.type) {
        case SND_SEQ_EVENT_CLIENT_START:
        case SND_SEQ_EVENT_CLIENT_EXIT:
        case SND_SEQ_EVENT_CLIENT_CHANGE:
        case SND_SEQ_EVENT_PORT_START:
        case SND_SEQ_EVENT_PORT_EXIT:
        case SND_SEQ_EVENT_PORT_CHANGE:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::unique_ptr<AlsaDeviceWatch> AlsaDeviceWatch::open(const std::string& clientName,
                                                       std::function<void()> changed) {
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) return nullptr;
    snd_seq_set_client_name(seq, (clientName + " watch").c_str());
    // Written to only by the announce port: nobody else may subscribe to it.
    const int port = snd_seq_create_simple_port(seq, "announcements", SND_SEQ_PORT_CAP_WRITE,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    int stop[2];
    if (port < 0 ||
        snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0 ||
        pipe(stop) != 0) {
        snd_seq_close(seq);
        return nullptr;
    }
    std::unique_ptr<AlsaDeviceWatch> watch(new AlsaDeviceWatch(seq, stop[0], stop[1], std::move(changed)));
    watch->thread_ = std::thread([w = watch.get()] { w->run(); });
    return watch;
}

AlsaDeviceWatch::AlsaDeviceWatch(snd_seq_t* seq, int stopRead, int stopWrite, std::function<void()> changed)
    : seq_(seq), stopRead_(stopRead), stopWrite_(stopWrite), changed_(std::move(changed)) {}

AlsaDeviceWatch::~AlsaDeviceWatch() {
    const char stop = 1;
    (void)!write(stopWrite_, &stop, 1);
    thread_.join();
    snd_seq_close(seq_);
    close(stopRead_);
    close(stopWrite_);
}

// Sleeps in poll until the sequencer has events or the stop pipe is written: nothing runs while
// nothing changes.
void AlsaDeviceWatch::run() {
    const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
    snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
    fds.back() = pollfd{stopRead_, POLLIN, 0};
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds.back().revents != 0) return;
        bool changed = false;
        snd_seq_event_t* event = nullptr;
        int result;
        // -ENOSPC: announcements were lost while the queue was full; something changed.
        while ((result = snd_seq_event_input(seq_, &event)) >= 0 || result == -ENOSPC) {
            if (result == -ENOSPC || (event && announcesAChange(*event))) changed = true;
        }
        if (changed) changed_();
    }
}

}  // namespace kaldo::midi
