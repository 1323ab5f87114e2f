#include "SystemAlsaCalls.h"

#include <poll.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "AnyClientPool.h"

namespace kaldo::midi {

namespace {

class SystemAlsaCalls : public AlsaCalls {
public:
    ~SystemAlsaCalls() override {
        if (seq_) snd_seq_close(seq_);
    }

    int open(const std::string& clientName) override {
        const int result = snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK);
        if (result < 0) {
            seq_ = nullptr;
            return result;
        }
        return snd_seq_set_client_name(seq_, clientName.c_str());
    }

    int createPort(const std::string& name, unsigned capability, unsigned type) override {
        return snd_seq_create_simple_port(seq_, name.c_str(), capability, type);
    }

    int connectTo(int port, const snd_seq_addr_t& destination) override {
        return snd_seq_connect_to(seq_, port, destination.client, destination.port);
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

    int clientPool(int client, AlsaClientPool& pool) override {
        pollfd descriptor{};
        if (snd_seq_poll_descriptors(seq_, &descriptor, 1, POLLOUT) != 1) return -EBADF;
        return requestClientPool(descriptor.fd, client, pool.inputPool, pool.inputFree);
    }

    int outputDirect(snd_seq_event_t& event) override { return snd_seq_event_output_direct(seq_, &event); }

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
};

}  // namespace

std::unique_ptr<AlsaCalls> systemAlsaCalls() {
    return std::make_unique<SystemAlsaCalls>();
}

}  // namespace kaldo::midi
