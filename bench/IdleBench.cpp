// What the desktop program costs while nothing happens, and how soon it hears of an amp plugged in.
//
// CPU time of the real main window (its MIDI system, the Qt clock, a settings file of its own, no
// ports chosen) over a stretch of idle seconds, against a bare Qt window over the same stretch in the
// same run; with --jackd PID also the JACK server's own CPU time over both stretches. Then, when a
// JACK server runs and --sim names kaldo-amp-sim, the hot-plug latency: from starting the simulated
// amp as a process of its own to the "Out" menu listing its port. bench/idle-bench.sh runs it with a
// JACK server and without.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "QtClock.h"
#include "Settings.h"
#include "SystemMidi.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"

namespace {

double ownCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// utime + stime of another process, from /proc/PID/stat.
double processCpuSeconds(long pid) {
    if (pid <= 0) return 0;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto fields = text.substr(text.rfind(')') + 2);
    unsigned long long utime = 0, stime = 0;
    std::sscanf(fields.c_str(), "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime);
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Cost {
    double own;
    double server;
};

// The event loop left alone for seconds. A loop of its own: quitting the application's would close
// the windows.
Cost idleFor(int seconds, long jackd) {
    const double own = ownCpuSeconds();
    const double server = processCpuSeconds(jackd);
    QEventLoop idle;
    QTimer::singleShot(seconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    return {ownCpuSeconds() - own, processCpuSeconds(jackd) - server};
}

void report(const char* what, const Cost& cost, int seconds, long jackd) {
    std::printf("%-34s %6.3f s CPU in %d s = %5.2f%% of a core", what, cost.own, seconds,
                100 * cost.own / seconds);
    if (jackd > 0) std::printf("; jackd %5.2f%%", 100 * cost.server / seconds);
    std::printf("\n");
}

bool listed(QMenu* menu, const QString& name) {
    const auto items = menu->actions();
    return std::any_of(items.begin(), items.end(), [&](QAction* item) { return item->text() == name; });
}

// Milliseconds from starting an amp (kaldo-amp-sim, a process of its own, as a plugged-in amp is)
// to the "Out" menu listing its ports, runs times: the amp's own start, its ports' registration, the
// system's word and the window's listing together. (JACK 1.9 tells a second client of this process
// nothing of registrations once another client has closed, so the bench cannot time the
// registration itself.)
std::vector<double> hotPlugLatencies(kaldo::TForm1& form, const QString& sim, int runs) {
    std::vector<double> latencies;
    for (int i = 0; i < runs; ++i) {
        const QString name = QString("Plugged Amp %1").arg(i);
        QProcess amp;
        amp.start(sim, {"--name", name});
        QElapsedTimer limit;
        limit.start();
        while (!listed(form.Out1, name + " In:in") && limit.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        if (limit.elapsed() < 10000) latencies.push_back(static_cast<double>(limit.nsecsElapsed()) / 1e6);
        amp.terminate();
        amp.waitForFinished(10000);
        while (listed(form.Out1, name + " In:in") && limit.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
    }
    return latencies;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int seconds = 20;
    long jackd = 0;
    QString sim;  // kaldo-amp-sim, for the hot-plug latency
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--seconds") seconds = std::stoi(argv[i + 1]);
        if (option == "--jackd") jackd = std::stol(argv[i + 1]);
        if (option == "--sim") sim = argv[i + 1];
    }
    std::printf("MIDI system: %s\n", kaldo::midi::systemMidiName().c_str());

    const Cost bare = [&] {
        QMainWindow window;
        window.resize(703, 400);
        window.show();
        return idleFor(seconds, jackd);
    }();
    report("a bare Qt window (baseline)", bare, seconds, jackd);

    QTemporaryDir dir;
    std::ofstream(dir.filePath("kaldo-updater.INI").toStdString()) << "[FIRST_TIME]\r\nFT=0\r\n";
    kaldo::QtClock clock;
    kaldo::TForm1 form({clock, kaldo::midi::systemMidi("kaldo-bench"),
                        kaldo::Settings(dir.filePath("kaldo-updater.INI").toStdString())});
    form.attachWindows(new kaldo::TForm3(form.host(), &form), new kaldo::TForm4(form.host(), &form),
                       new kaldo::TForm5(form.host(), &form));
    form.show();
    QCoreApplication::processEvents();
    const Cost window = idleFor(seconds, jackd);
    report("the main window, idle", window, seconds, jackd);
    std::printf("window / baseline: %.2f (own CPU)\n", bare.own > 0 ? window.own / bare.own : 0.0);

    if (kaldo::midi::systemMidiName() == "JACK" && !sim.isEmpty()) {
        auto latencies = hotPlugLatencies(form, sim, 10);
        std::sort(latencies.begin(), latencies.end());
        if (!latencies.empty()) {
            std::printf(
                "hot-plug, amp started -> its port listed in Out: median %.1f ms, worst %.1f ms (%zu runs)\n",
                latencies[latencies.size() / 2], latencies.back(), latencies.size());
        }
    }
    return 0;
}
