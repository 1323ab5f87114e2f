#pragma once
// A model of the kernel's ALSA sequencer and rawmidi behaviour as our ALSA output and input meet
// it, on virtual time, so that every way the kernel loses data shows without a sound card:
// - a sound card's port: a rawmidi output buffer (4,096 bytes) that the card's driver empties into
//   its own transfers (a USB MIDI driver's URBs) as they have room, which the wire drains at a set
//   rate. An event reaches the buffer in pieces of 32 bytes, and a piece that does not fit is
//   dropped with the rest of the event (an overrun), while the sender is told it went through.
//   /proc shows the buffer's size and room and "Tx bytes": the bytes the driver took, whether
//   still in its transfers, already on the wire, or discarded at an unplug;
// - another program's port: its client's input queue of 200 cells of 28 bytes (an event takes one,
//   and its data one per 28 bytes). An event that does not fit is refused and sets the overflow
//   flag, and the program's next read then finds the whole queue emptied;
// - events to "the subscribers" of our port go to whoever is connected, and to nobody without
//   complaint; events to a port that has gone are refused;
// - an unplugged card: its port and /proc files go at once; its driver discards what waits in the
//   buffer, counting it in "Tx bytes", and what was in its transfers never arrives;
// - ports that vanish or stop taking data, and other programs that write to the same destination;
// - input: what a port sends reaches the clients connected from it as events (a card's System
//   Exclusive in pieces of 256 bytes, as the kernel's encoder cuts it), into each client's input
//   queue of 200 cells; an event that does not fit sets the overflow flag, and the client's next
//   read then returns -ENOSPC and empties the queue.
// Output time passes only when the client pauses; reads of a software port happen at set intervals.
// Input is read on the input's own thread, in real time.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "AlsaCalls.h"
#include "MidiBackend.h"

namespace kaldo::midi::testing {

class AlsaKernelModel : public std::enable_shared_from_this<AlsaKernelModel> {
public:
    struct CardPort {
        std::string name = "KALDO Amp MIDI 1";
        int card = 1;
        std::size_t bytesPerSecond = 3125;
        std::size_t bufferSize = 4096;
        // What the driver holds in its transfers: seven USB MIDI transfers of 48 bytes.
        std::size_t driverHolds = 336;
        bool statusInProc = true;  // false: /proc shows nothing (no proc file system)
    };
    struct SoftwarePort {
        std::string name = "KALDO Amp Sim In";
        int inputPool = 200;
        std::chrono::nanoseconds readEvery = std::chrono::milliseconds(1);
    };

    AlsaKernelModel();
    ~AlsaKernelModel();

    // Each returns the port's name as RtMidi shows it ("client name:port name client:port").
    std::string addCardPort(const CardPort& port);
    std::string addSoftwarePort(const SoftwarePort& port);

    // The port goes away once it has taken this many bytes of ours (the amp unplugged mid-block).
    void vanishAfter(const std::string& port, std::size_t bytes);
    // The far end stops taking data once this many bytes of ours have arrived there: the card's
    // wire carries no more, the program reads no more.
    void stopTakingAfter(const std::string& port, std::size_t bytes);
    // Once the port has taken `ours` bytes of ours, another program writes `theirs` bytes to it
    // just before our next event: into a card's buffer, or as one-byte events (timing clock) into
    // a software port's queue, each while there is room.
    void interfereAfter(const std::string& port, std::size_t ours, std::size_t theirs);

    // What reached the far end: the bytes a card's wire carried, or those the receiving program read.
    std::vector<std::uint8_t> arrived(const std::string& port);
    std::size_t overruns(const std::string& port);
    std::size_t overflows(const std::string& port);
    // Virtual time since the model began.
    std::chrono::nanoseconds elapsed();
    // Whether a program other than ours could connect to our ports and hear what we send there.
    bool othersCouldListenToOurPorts();

    // The device at the port sends these bytes: they go to every client connected from the port.
    void send(const std::string& port, const std::vector<std::uint8_t>& bytes);
    // Waits, in real time and at most `limit`, until every client has read its input queue and
    // heard of any overflow; false when one has not.
    bool waitUntilInputRead(std::chrono::milliseconds limit);

    // The calls of a new client of ours on this kernel.
    std::unique_ptr<AlsaCalls> calls();
    // A MIDI system whose ports are this kernel's, opened through our ALSA output and input.
    std::shared_ptr<MidiBackend> backend();

    // The names of the ports that are there, as RtMidi shows them.
    std::vector<std::string> portNames();

    // For the model's own calls.
    struct Port;
    struct Client;
    struct QueuedEvent {
        snd_seq_event_t event;
        std::vector<std::uint8_t> data;  // a variable event's
    };
    int openClient(const std::string& name);
    void closeClient(int client);
    int createPort(int client, unsigned capability);
    int connect(int client, int port, const snd_seq_addr_t& destination);
    int connectFrom(int client, int port, const snd_seq_addr_t& source);
    int clientInfo(int client, AlsaClientInfo& info);
    int portInfo(const snd_seq_addr_t& address);
    int clientPool(int client, AlsaClientPool& pool);
    int output(int client, const snd_seq_event_t& event);
    int input(int client, QueuedEvent& event);
    void waitForInput(int client);
    void stopWaiting(int client);
    std::optional<std::string> readFile(const std::string& path);
    std::chrono::steady_clock::time_point now();
    void pause(std::chrono::nanoseconds duration);

private:
    Port* portNamed(const std::string& name);
    Port* portAt(int client, int port);
    void advance(std::chrono::nanoseconds duration);
    int deliver(Port& port, const std::vector<std::uint8_t>& bytes, bool sysEx);
    void taken(Port& port, std::size_t bytes);
    void unplug(Port& port);
    void driverTakes(Port& port);
    void enqueue(Client& client, const snd_seq_event_t& event);

    std::mutex mutex_;
    std::condition_variable inputChanged_;
    const std::chrono::steady_clock::time_point start_;
    std::chrono::nanoseconds elapsed_{0};
    std::vector<std::unique_ptr<Port>> ports_;
    std::map<int, std::unique_ptr<Client>> clients_;
    int nextClient_ = 128;
    snd_midi_event_t* decoder_ = nullptr;
};

}  // namespace kaldo::midi::testing
