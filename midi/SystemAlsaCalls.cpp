#include "SystemAlsaCalls.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "AnyClientPool.h"

namespace kaldo::midi {

namespace {

class SystemAlsaCalls : public AlsaCalls {
public:
    ~SystemAlsaCalls() override {
        if (seq_) snd_seq_close(seq_);
        for (const int fd : stop_) {
            if (fd >= 0) close(fd);
        }
    }

    int open(const std::string& clientName, int streams) override {
        const int result = snd_seq_open(&seq_, "default", streams, SND_SEQ_NONBLOCK);
        if (result < 0) {
            seq_ = nullptr;
            return result;
        }
        // An input's thread sleeps in poll on the sequencer and on this pipe, which wakes it to stop.
        if ((streams & SND_SEQ_OPEN_INPUT) && pipe(stop_) != 0) return -errno;
        return snd_seq_set_client_name(seq_, clientName.c_str());
    }

    int createPort(const std::string& name, unsigned capability, unsigned type) override {
        return snd_seq_create_simple_port(seq_, name.c_str(), capability, type);
    }

    int connectTo(int port, const snd_seq_addr_t& destination) override {
        return snd_seq_connect_to(seq_, port, destination.client, destination.port);
    }

    int connectFrom(int port, const snd_seq_addr_t& source) override {
        return snd_seq_connect_from(seq_, port, source.client, source.port);
    }

    int clientInfo(int client, AlsaClientInfo& info) override {
        snd_seq_client_info_t* found;
        snd_seq_client_info_alloca(&found);
        const int result = snd_seq_get_any_client_info(seq_, client, found);
        if (result < 0) return result;
        info.kernel = snd_seq_client_info_get_type(found) == SND_SEQ_KERNEL_CLIENT;
        info.card = snd_seq_client_info_get_card(found);
        return 0;
    }

    int portInfo(const snd_seq_addr_t& port) override {
        snd_seq_port_info_t* found;
        snd_seq_port_info_alloca(&found);
        return snd_seq_get_any_port_info(seq_, port.client, port.port, found);
    }

    int clientPool(int client, AlsaClientPool& pool) override {
        pollfd descriptor{};
        if (snd_seq_poll_descriptors(seq_, &descriptor, 1, POLLOUT) != 1) return -EBADF;
        return requestClientPool(descriptor.fd, client, pool.inputPool, pool.inputFree);
    }

    int outputDirect(snd_seq_event_t& event) override { return snd_seq_event_output_direct(seq_, &event); }

    int eventInput(snd_seq_event_t*& event) override { return snd_seq_event_input(seq_, &event); }

    void waitForInput() override {
        const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
        std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
        snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
        fds.back() = pollfd{stop_[0], POLLIN, 0};
        while (poll(fds.data(), fds.size(), -1) < 0 && errno == EINTR) {
        }
    }

    // The pipe is never read: once written, every poll finds it readable.
    void stopWaiting() override {
        const char stop = 1;
        (void)!write(stop_[1], &stop, 1);
    }

    std::optional<std::string> readFile(const std::string& path) override {
        std::ifstream file(path);
        if (!file) return std::nullopt;
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    std::chrono::steady_clock::time_point now() override { return std::chrono::steady_clock::now(); }
    void pause(std::chrono::nanoseconds duration) override { std::this_thread::sleep_for(duration); }

private:
    snd_seq_t* seq_ = nullptr;
    int stop_[2] = {-1, -1};
};

}  // namespace

std::unique_ptr<AlsaCalls> systemAlsaCalls() {
    return std::make_unique<SystemAlsaCalls>();
}

}  // namespace kaldo::midi
