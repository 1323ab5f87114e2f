// The longest time the main window's event loop goes without handling events during whole uploads
// against a simulated amp answering in real time (goal: under 50 ms). Runs the real window, its Qt
// clock and the sender thread on the offscreen platform:
//   build/default/bin/bench_window_stall [packets]
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <mutex>
#include <string>

#include "AmpModel.h"
#include "FirmwareWriter.h"
#include "Messages.h"
#include "MidiLink.h"
#include "QtClock.h"
#include "SystemMidi.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"

namespace {

// The simulated amp in this process, answering on the window thread after its real-time delays.
class RealTimeAmp : public kaldo::MidiLink {
public:
    explicit RealTimeAmp(QObject* context) : context_(context), model_(0x00020500) {}
    std::function<void(std::vector<std::uint8_t>)> deliver;

    bool outPortReady() const override { return true; }
    bool inPortReady() const override { return true; }
    bool sysEx(const std::uint8_t* data, std::size_t length) override {
        std::vector<kaldo::sim::TimedReply> replies;
        {
            std::lock_guard lock(mutex_);
            replies = model_.receive(std::span(data, length));
        }
        for (auto& reply : replies) {
            QMetaObject::invokeMethod(context_, [this, reply] {
                QTimer::singleShot(reply.delayMs, context_, [this, bytes = reply.bytes] { deliver(bytes); });
            }, Qt::QueuedConnection);
        }
        return true;
    }
    void put2(std::uint8_t, std::uint8_t) override {}
    void deSelectCurrentMidi() override {}
    void populateMidiSelect() override {}
    void reCheckForMidiDevices() override {}
    int platformOutputCount() override { return 1; }

private:
    QObject* context_;
    std::mutex mutex_;
    kaldo::sim::AmpModel model_;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::uint32_t packets = argc > 1 ? static_cast<std::uint32_t>(std::stoul(argv[1])) : 30;
    QTemporaryDir dir;
    kaldo::QtClock clock;
    RealTimeAmp amp(&app);
    kaldo::TForm1 form({clock, kaldo::midi::systemMidi("kaldo-bench"),
                        kaldo::Settings((dir.path() + "/bench.INI").toStdString()), &amp, nullptr});
    form.attachWindows(new kaldo::TForm3(form.host(), &form), new kaldo::TForm4(form.host(), &form), new kaldo::TForm5(form.host(), &form));
    amp.deliver = [&form](std::vector<std::uint8_t> bytes) { form.updater->MidiIn1SysEx(bytes.data(), bytes.size()); };
    form.show();
    // The wizard's way through an upload asks no questions, so nobody has to answer a dialog.
    form.updater->flags.wizardActive = true;

    amp.sysEx(kaldo::kIdentityRequest.data(), kaldo::kIdentityRequest.size());
    clock.pause(200);

    struct Run {
        const char* name;
        kaldo::tools::FirmwareOptions firmware;
    };
    kaldo::tools::FirmwareOptions packetOptions;
    packetOptions.packetCount = packets;
    packetOptions.packetDataLength = 2048;
    kaldo::tools::FirmwareOptions blockOptions;
    blockOptions.format = kaldo::tools::FirmwareFormat::SingleBlock;
    blockOptions.blockLength = 60000;
    int worst = 0;
    for (const Run& run : {Run{"handshake", packetOptions}, Run{"single block", blockOptions}}) {
        const std::string path = (dir.path() + "/fw.syx").toStdString();
        kaldo::tools::writeFile(path, kaldo::tools::makeFirmware(run.firmware));
        form.updater->ReadFile(path);
        clock.startStallMeasure();
        const std::int64_t start = clock.nowMs();
        form.UploadCode1->trigger();
        clock.stopStallMeasure();
        const int stall = clock.longestStallMs();
        worst = std::max(worst, stall);
        std::printf("%-13s upload: %6lld ms, outcome %d, longest event-loop stall %d ms\n", run.name,
                    static_cast<long long>(clock.nowMs() - start), static_cast<int>(form.lastUpload().outcome), stall);
    }
    std::printf("longest stall %d ms (goal: under 50 ms)\n", worst);
    return worst < 50 ? 0 : 1;
}
