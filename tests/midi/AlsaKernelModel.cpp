#include "AlsaKernelModel.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <set>

#include "AlsaSequencerInput.h"
#include "AlsaSequencerOutput.h"

namespace kaldo::midi::testing {

namespace {

constexpr std::size_t kCellSize = sizeof(snd_seq_event_t);
// The rawmidi layer hands a card's port the data of an event in pieces of this size.
constexpr std::size_t kDumpPiece = 32;
// The kernel cuts a card's System Exclusive input into events of this many bytes at most.
constexpr std::size_t kInputEventBytes = 256;
// A client's input queue, in cells.
constexpr std::size_t kInputPool = 200;
// What other programs send: timing clock, a byte easy to tell from ours.
constexpr std::uint8_t kForeignByte = 0xF8;

int cardClient(int card) {
    return 16 + 4 * card;
}

std::size_t cellsFor(std::size_t bytes, bool variable) {
    return variable ? 1 + (bytes + kCellSize - 1) / kCellSize : 1;
}

}  // namespace

struct AlsaKernelModel::Port {
    std::string name;  // as RtMidi shows it
    std::string plainName;
    int client = 0;
    int port = 0;
    bool card = false;
    bool gone = false;
    std::optional<std::size_t> vanishAfter;
    std::optional<std::size_t> stopTakingAfter;
    std::size_t taken = 0;                      // bytes of ours that reached it
    std::optional<std::size_t> interfereAfter;  // another program writes once we wrote this much
    std::size_t interfere = 0;                  // its bytes
    std::set<std::pair<int, int>> subscribers;
    std::vector<std::uint8_t> arrived;
    snd_midi_event_t* encoder = nullptr;  // what the port sends, into events

    // a card's port
    int cardNumber = -1;
    CardPort cardOptions;
    std::deque<std::uint8_t> buffer;
    std::deque<std::uint8_t> transfers;  // taken by the driver, not yet on the wire
    double credit = 0;                   // bytes the wire may carry before the next whole byte
    std::uint64_t tx = 0;
    std::size_t overruns = 0;

    // a program's port
    SoftwarePort softwareOptions;
    std::chrono::nanoseconds nextRead{0};
    std::vector<std::vector<std::uint8_t>> queue;
    std::size_t usedCells = 0;
    bool overflow = false;
    std::size_t overflows = 0;

    ~Port() {
        if (encoder) snd_midi_event_free(encoder);
    }
    bool stoppedTaking() const { return stopTakingAfter && arrived.size() >= *stopTakingAfter; }
};

struct AlsaKernelModel::Client {
    std::string name;
    std::vector<unsigned> portCapabilities;
    bool closed = false;
    // Input: the ports connected to ours, and our queue.
    std::set<std::pair<std::pair<int, int>, int>> sources;  // (source client, source port), our port
    std::deque<QueuedEvent> input;
    std::size_t inputCells = 0;
    bool overflow = false;
    bool stopWaiting = false;
};

namespace {

class ModelCalls : public AlsaCalls {
public:
    explicit ModelCalls(std::shared_ptr<AlsaKernelModel> model) : model_(std::move(model)) {}
    ~ModelCalls() override {
        if (client_ >= 0) model_->closeClient(client_);
    }

    int open(const std::string& clientName, int) override {
        client_ = model_->openClient(clientName);
        return 0;
    }
    int createPort(const std::string&, unsigned capability, unsigned) override {
        return model_->createPort(client_, capability);
    }
    int connectTo(int port, const snd_seq_addr_t& destination) override {
        return model_->connect(client_, port, destination);
    }
    int connectFrom(int port, const snd_seq_addr_t& source) override {
        return model_->connectFrom(client_, port, source);
    }
    int clientInfo(int client, AlsaClientInfo& info) override { return model_->clientInfo(client, info); }
    int portInfo(const snd_seq_addr_t& port) override { return model_->portInfo(port); }
    int clientPool(int client, AlsaClientPool& pool) override { return model_->clientPool(client, pool); }
    int outputDirect(snd_seq_event_t& event) override { return model_->output(client_, event); }
    int eventInput(snd_seq_event_t*& event) override {
        event = nullptr;
        const int result = model_->input(client_, current_);
        if (result < 0) return result;
        if (snd_seq_ev_is_variable(&current_.event)) current_.event.data.ext.ptr = current_.data.data();
        event = &current_.event;
        return 0;
    }
    void waitForInput() override { model_->waitForInput(client_); }
    void stopWaiting() override { model_->stopWaiting(client_); }
    std::optional<std::string> readFile(const std::string& path) override { return model_->readFile(path); }
    std::chrono::steady_clock::time_point now() override { return model_->now(); }
    void pause(std::chrono::nanoseconds duration) override { model_->pause(duration); }

private:
    std::shared_ptr<AlsaKernelModel> model_;
    int client_ = -1;
    AlsaKernelModel::QueuedEvent current_{};  // the event eventInput handed out last
};

class ModelBackend : public MidiBackend {
public:
    explicit ModelBackend(std::shared_ptr<AlsaKernelModel> model) : model_(std::move(model)) {}

    std::vector<std::string> outputNames() override { return model_->portNames(); }
    std::vector<std::string> inputNames() override { return model_->portNames(); }
    Opened<MidiOutConnection> openOutput(const std::string& device) override {
        const auto names = outputNames();
        if (std::find(names.begin(), names.end(), device) == names.end())
            return {nullptr, kResultBadDeviceId};
        return AlsaSequencerOutput::open(model_->calls(), "kaldo-test", device);
    }
    Opened<MidiInConnection> openInput(const std::string& device, MidiReceiver receiver) override {
        const auto names = inputNames();
        if (std::find(names.begin(), names.end(), device) == names.end())
            return {nullptr, kResultBadDeviceId};
        return AlsaSequencerInput::open(model_->calls(), "kaldo-test", device, std::move(receiver));
    }

private:
    std::shared_ptr<AlsaKernelModel> model_;
};

}  // namespace

AlsaKernelModel::AlsaKernelModel() : start_(std::chrono::steady_clock::now()) {
    snd_midi_event_new(16, &decoder_);
    snd_midi_event_no_status(decoder_, 1);
}

AlsaKernelModel::~AlsaKernelModel() {
    snd_midi_event_free(decoder_);
}

std::string AlsaKernelModel::addCardPort(const CardPort& options) {
    std::lock_guard lock(mutex_);
    auto port = std::make_unique<Port>();
    port->card = true;
    port->cardNumber = options.card;
    port->cardOptions = options;
    port->plainName = options.name;
    port->client = cardClient(options.card);
    port->name = options.name + ":" + options.name + " " + std::to_string(port->client) + ":0";
    ports_.push_back(std::move(port));
    return ports_.back()->name;
}

std::string AlsaKernelModel::addSoftwarePort(const SoftwarePort& options) {
    std::lock_guard lock(mutex_);
    auto port = std::make_unique<Port>();
    port->softwareOptions = options;
    port->plainName = options.name;
    port->client = nextClient_++;
    port->name = options.name + ":in " + std::to_string(port->client) + ":0";
    ports_.push_back(std::move(port));
    return ports_.back()->name;
}

std::vector<std::string> AlsaKernelModel::portNames() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& port : ports_) {
        if (!port->gone) names.push_back(port->name);
    }
    return names;
}

AlsaKernelModel::Port* AlsaKernelModel::portNamed(const std::string& name) {
    for (auto& port : ports_) {
        if (port->name == name) return port.get();
    }
    return nullptr;
}

AlsaKernelModel::Port* AlsaKernelModel::portAt(int client, int port) {
    for (auto& p : ports_) {
        if (p->client == client && p->port == port && !p->gone) return p.get();
    }
    return nullptr;
}

void AlsaKernelModel::vanishAfter(const std::string& port, std::size_t bytes) {
    std::lock_guard lock(mutex_);
    portNamed(port)->vanishAfter = bytes;
}

void AlsaKernelModel::stopTakingAfter(const std::string& port, std::size_t bytes) {
    std::lock_guard lock(mutex_);
    portNamed(port)->stopTakingAfter = bytes;
}

void AlsaKernelModel::interfereAfter(const std::string& port, std::size_t ours, std::size_t theirs) {
    std::lock_guard lock(mutex_);
    portNamed(port)->interfereAfter = ours;
    portNamed(port)->interfere = theirs;
}

std::vector<std::uint8_t> AlsaKernelModel::arrived(const std::string& port) {
    std::lock_guard lock(mutex_);
    return portNamed(port)->arrived;
}

std::size_t AlsaKernelModel::overruns(const std::string& port) {
    std::lock_guard lock(mutex_);
    return portNamed(port)->overruns;
}

std::size_t AlsaKernelModel::overflows(const std::string& port) {
    std::lock_guard lock(mutex_);
    return portNamed(port)->overflows;
}

std::chrono::nanoseconds AlsaKernelModel::elapsed() {
    std::lock_guard lock(mutex_);
    return elapsed_;
}

// The kernel lets a third program connect to a port when the port allows reading and subscribing
// to read, and does not forbid connections made by others.
bool AlsaKernelModel::othersCouldListenToOurPorts() {
    std::lock_guard lock(mutex_);
    constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    for (const auto& [number, client] : clients_) {
        for (const unsigned capability : client->portCapabilities) {
            if ((capability & kReadable) == kReadable && !(capability & SND_SEQ_PORT_CAP_NO_EXPORT))
                return true;
        }
    }
    return false;
}

// A card's input goes through the kernel's encoder, which cuts System Exclusive into events of 256
// bytes; a program sends each message as one event.
void AlsaKernelModel::send(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    Port& port = *portNamed(name);
    if (!port.encoder) snd_midi_event_new(port.card ? kInputEventBytes : 65536, &port.encoder);
    for (const std::uint8_t b : bytes) {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        if (snd_midi_event_encode_byte(port.encoder, b, &event) != 1) continue;
        event.source = {static_cast<unsigned char>(port.client), static_cast<unsigned char>(port.port)};
        for (auto& [number, client] : clients_) {
            if (client->closed) continue;
            for (const auto& [source, ourPort] : client->sources) {
                if (source != std::pair(port.client, port.port)) continue;
                event.dest = {static_cast<unsigned char>(number), static_cast<unsigned char>(ourPort)};
                enqueue(*client, event);
            }
        }
    }
    inputChanged_.notify_all();
}

// An event that does not fit into the client's queue is lost and sets the overflow flag.
void AlsaKernelModel::enqueue(Client& client, const snd_seq_event_t& event) {
    QueuedEvent queued{event, {}};
    std::size_t cells = 1;
    if (snd_seq_ev_is_variable(&event)) {
        const auto* data = static_cast<const std::uint8_t*>(event.data.ext.ptr);
        queued.data.assign(data, data + event.data.ext.len);
        cells = cellsFor(queued.data.size(), true);
    }
    if (client.inputCells + cells > kInputPool) {
        client.overflow = true;
        return;
    }
    client.inputCells += cells;
    client.input.push_back(std::move(queued));
}

bool AlsaKernelModel::waitUntilInputRead(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return inputChanged_.wait_for(lock, limit, [this] {
        return std::all_of(clients_.begin(), clients_.end(), [](const auto& entry) {
            const Client& client = *entry.second;
            return client.closed || (client.input.empty() && !client.overflow);
        });
    });
}

std::unique_ptr<AlsaCalls> AlsaKernelModel::calls() {
    return std::make_unique<ModelCalls>(shared_from_this());
}

std::shared_ptr<MidiBackend> AlsaKernelModel::backend() {
    return std::make_shared<ModelBackend>(shared_from_this());
}

int AlsaKernelModel::openClient(const std::string& name) {
    std::lock_guard lock(mutex_);
    const int number = nextClient_++;
    clients_[number] = std::make_unique<Client>();
    clients_[number]->name = name;
    return number;
}

// Closing a client ends its connections.
void AlsaKernelModel::closeClient(int client) {
    std::lock_guard lock(mutex_);
    for (auto& port : ports_) {
        std::erase_if(port->subscribers,
                      [client](const auto& subscriber) { return subscriber.first == client; });
    }
    clients_.at(client)->closed = true;
    clients_.at(client)->sources.clear();
    inputChanged_.notify_all();
}

int AlsaKernelModel::createPort(int client, unsigned capability) {
    std::lock_guard lock(mutex_);
    auto& capabilities = clients_.at(client)->portCapabilities;
    capabilities.push_back(capability);
    return static_cast<int>(capabilities.size()) - 1;
}

int AlsaKernelModel::connect(int client, int port, const snd_seq_addr_t& destination) {
    std::lock_guard lock(mutex_);
    Port* target = portAt(destination.client, destination.port);
    if (!target) return -ENOENT;
    target->subscribers.insert({client, port});
    return 0;
}

int AlsaKernelModel::connectFrom(int client, int port, const snd_seq_addr_t& source) {
    std::lock_guard lock(mutex_);
    if (!portAt(source.client, source.port)) return -ENOENT;
    clients_.at(client)->sources.insert({{source.client, source.port}, port});
    return 0;
}

int AlsaKernelModel::clientInfo(int client, AlsaClientInfo& info) {
    std::lock_guard lock(mutex_);
    if (clients_.count(client)) {
        info = {false, -1};
        return 0;
    }
    for (const auto& port : ports_) {
        if (port->client == client && !port->gone) {
            info = {port->card, port->card ? port->cardNumber : -1};
            return 0;
        }
    }
    return -ENOENT;
}

int AlsaKernelModel::portInfo(const snd_seq_addr_t& address) {
    std::lock_guard lock(mutex_);
    if (portAt(address.client, address.port)) return 0;
    const auto ours = clients_.find(address.client);
    if (ours != clients_.end() && !ours->second->closed &&
        address.port < ours->second->portCapabilities.size())
        return 0;
    return -ENOENT;
}

int AlsaKernelModel::clientPool(int client, AlsaClientPool& pool) {
    std::lock_guard lock(mutex_);
    for (const auto& port : ports_) {
        if (port->client != client || port->gone) continue;
        if (port->card) {
            pool = {0, 0};
        } else {
            const int size = port->softwareOptions.inputPool;
            pool = {size, size - static_cast<int>(port->usedCells)};
        }
        return 0;
    }
    return clients_.count(client) ? 0 : -ENOENT;
}

void AlsaKernelModel::taken(Port& port, std::size_t bytes) {
    port.taken += bytes;
    if (port.vanishAfter && port.taken >= *port.vanishAfter) unplug(port);
}

// The port and its /proc files go at once. A card's driver discards what waits in the buffer and
// counts it as taken, as snd-usb-audio's output does on a disconnected device so that nobody waits
// for a drain; what was in its transfers never reaches the wire.
void AlsaKernelModel::unplug(Port& port) {
    port.gone = true;
    port.subscribers.clear();
    port.tx += port.buffer.size();
    port.buffer.clear();
    port.transfers.clear();
    port.queue.clear();
    port.usedCells = 0;
}

// The driver takes what its transfers have room for, and counts it.
void AlsaKernelModel::driverTakes(Port& port) {
    const std::size_t room = port.cardOptions.driverHolds - port.transfers.size();
    const std::size_t n = std::min(room, port.buffer.size());
    port.transfers.insert(port.transfers.end(), port.buffer.begin(),
                          port.buffer.begin() + static_cast<std::ptrdiff_t>(n));
    port.buffer.erase(port.buffer.begin(), port.buffer.begin() + static_cast<std::ptrdiff_t>(n));
    port.tx += n;
}

// One event's bytes reaching one port: a card's buffer, or a program's queue.
int AlsaKernelModel::deliver(Port& port, const std::vector<std::uint8_t>& bytes, bool sysEx) {
    const bool interfering = port.interfereAfter && port.taken >= *port.interfereAfter;
    if (interfering) port.interfereAfter.reset();
    if (port.card) {
        const std::size_t size = port.cardOptions.bufferSize;
        for (std::size_t i = 0; interfering && i < port.interfere && port.buffer.size() < size; ++i) {
            port.buffer.push_back(kForeignByte);
        }
        // A System Exclusive event's data goes in pieces; a short message whole. A piece without
        // room is dropped, and the rest of the event with it, and the sender hears nothing of it.
        const std::size_t piece = sysEx ? kDumpPiece : bytes.size();
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const std::size_t n = std::min(piece, bytes.size() - at);
            if (size - port.buffer.size() < n) {
                ++port.overruns;
                break;
            }
            port.buffer.insert(port.buffer.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                               bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
            driverTakes(port);
        }
        taken(port, bytes.size());
        return 0;
    }
    const std::size_t pool = static_cast<std::size_t>(port.softwareOptions.inputPool);
    for (std::size_t i = 0; interfering && i < port.interfere && port.usedCells < pool; ++i) {
        port.queue.emplace_back(1, kForeignByte);
        ++port.usedCells;
    }
    const std::size_t cells = cellsFor(bytes.size(), sysEx);
    if (cells > pool || port.usedCells + cells > pool) {
        port.overflow = true;
        return cells > pool ? -ENOMEM : -EAGAIN;
    }
    port.queue.push_back(bytes);
    port.usedCells += cells;
    taken(port, bytes.size());
    return 0;
}

int AlsaKernelModel::output(int client, const snd_seq_event_t& event) {
    std::lock_guard lock(mutex_);
    if (event.queue != SND_SEQ_QUEUE_DIRECT) return -EINVAL;
    if (event.source.port >= clients_.at(client)->portCapabilities.size()) return -EINVAL;
    const bool sysEx = snd_seq_ev_is_variable(&event);
    std::vector<std::uint8_t> bytes;
    if (sysEx) {
        const auto* data = static_cast<const std::uint8_t*>(event.data.ext.ptr);
        bytes.assign(data, data + event.data.ext.len);
    } else {
        unsigned char decoded[16];
        const long n = snd_midi_event_decode(decoder_, decoded, sizeof decoded, &event);
        if (n <= 0) return -EINVAL;
        bytes.assign(decoded, decoded + n);
    }
    const int written = static_cast<int>(sizeof(snd_seq_event_t) + (sysEx ? bytes.size() : 0));

    if (event.dest.client == SND_SEQ_ADDRESS_SUBSCRIBERS) {
        // To whoever is connected; to nobody, without a word.
        int result = written;
        for (auto& port : ports_) {
            if (port->gone || !port->subscribers.count({client, event.source.port})) continue;
            const int delivered = deliver(*port, bytes, sysEx);
            if (delivered < 0 && result >= 0) result = delivered;
        }
        return result;
    }
    Port* port = portAt(event.dest.client, event.dest.port);
    if (!port) return -ENOENT;
    const int delivered = deliver(*port, bytes, sysEx);
    return delivered < 0 ? delivered : written;
}

// After an overflow the next read reports it and finds the queue emptied.
int AlsaKernelModel::input(int number, QueuedEvent& event) {
    std::lock_guard lock(mutex_);
    Client& client = *clients_.at(number);
    int result = 0;
    if (client.overflow) {
        client.input.clear();
        client.inputCells = 0;
        client.overflow = false;
        result = -ENOSPC;
    } else if (client.input.empty()) {
        result = -EAGAIN;
    } else {
        event = std::move(client.input.front());
        client.input.pop_front();
        client.inputCells -= snd_seq_ev_is_variable(&event.event) ? cellsFor(event.data.size(), true) : 1;
    }
    inputChanged_.notify_all();
    return result;
}

void AlsaKernelModel::waitForInput(int number) {
    std::unique_lock lock(mutex_);
    Client& client = *clients_.at(number);
    inputChanged_.wait(lock,
                       [&client] { return client.stopWaiting || client.overflow || !client.input.empty(); });
}

void AlsaKernelModel::stopWaiting(int number) {
    std::lock_guard lock(mutex_);
    clients_.at(number)->stopWaiting = true;
    inputChanged_.notify_all();
}

std::optional<std::string> AlsaKernelModel::readFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    for (const auto& port : ports_) {
        if (!port->card || port->gone || !port->cardOptions.statusInProc) continue;
        if (path != "/proc/asound/card" + std::to_string(port->cardNumber) + "/midi0") continue;
        std::string text =
            port->plainName + "\n\nOutput 0\n  Tx bytes     : " + std::to_string(port->tx) + "\n";
        // Only an open substream shows its buffer; the connection is what opens it.
        if (!port->subscribers.empty()) {
            text += "  Owner PID    : 4242\n  Mode         : native\n  Buffer size  : " +
                    std::to_string(port->cardOptions.bufferSize) + "\n  Avail        : " +
                    std::to_string(port->cardOptions.bufferSize - port->buffer.size()) + "\n";
        }
        return text + "Input 0\n  Rx bytes     : 0\n";
    }
    return std::nullopt;
}

std::chrono::steady_clock::time_point AlsaKernelModel::now() {
    std::lock_guard lock(mutex_);
    return start_ + elapsed_;
}

void AlsaKernelModel::pause(std::chrono::nanoseconds duration) {
    std::lock_guard lock(mutex_);
    advance(duration);
}

// Cards' wires drain their drivers' transfers continuously; programs read their queues at their own
// intervals. A port that has gone, or has stopped taking data, carries nothing more.
void AlsaKernelModel::advance(std::chrono::nanoseconds duration) {
    const auto target = elapsed_ + duration;
    while (elapsed_ < target) {
        auto next = target;
        for (const auto& port : ports_) {
            if (!port->card && !port->gone && !port->stoppedTaking()) next = std::min(next, port->nextRead);
        }
        const double seconds = std::chrono::duration<double>(next - elapsed_).count();
        elapsed_ = next;
        for (auto& port : ports_) {
            if (port->gone) continue;
            if (port->card) {
                port->credit += static_cast<double>(port->cardOptions.bytesPerSecond) * seconds;
                // The driver refills its transfers as the wire empties them.
                while (!port->transfers.empty() && !port->stoppedTaking() && port->credit >= 1) {
                    std::size_t n = std::min(port->transfers.size(), static_cast<std::size_t>(port->credit));
                    if (port->stopTakingAfter) n = std::min(n, *port->stopTakingAfter - port->arrived.size());
                    port->credit -= static_cast<double>(n);
                    port->arrived.insert(port->arrived.end(), port->transfers.begin(),
                                         port->transfers.begin() + static_cast<std::ptrdiff_t>(n));
                    port->transfers.erase(port->transfers.begin(),
                                          port->transfers.begin() + static_cast<std::ptrdiff_t>(n));
                    driverTakes(*port);
                }
                if (port->transfers.empty() || port->stoppedTaking())
                    port->credit = 0;  // an idle wire saves nothing up
            } else if (port->nextRead <= elapsed_ && !port->stoppedTaking()) {
                // After an overflow the read finds the whole queue emptied.
                if (port->overflow) {
                    ++port->overflows;
                    port->overflow = false;
                } else {
                    for (const auto& event : port->queue)
                        port->arrived.insert(port->arrived.end(), event.begin(), event.end());
                }
                port->queue.clear();
                port->usedCells = 0;
                port->nextRead = elapsed_ + port->softwareOptions.readEvery;
            }
        }
    }
}

}  // namespace kaldo::midi::testing
