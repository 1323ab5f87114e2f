#include "AllAmpsUpload.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "AmpsOnTheLine.h"
#include "Interrupt.h"
#include "SharedConsole.h"
#include "SystemSleepGuard.h"
#include "Terminal.h"

namespace kaldo::cli {

namespace {

// How bad an exit status is: usage, failed, terminated, declined, completed.
int badness(int exitStatus) {
    switch (exitStatus) {
        case kExitOk:
            return 0;
        case kExitDeclined:
            return 1;
        case kExitTerminated:
            return 2;
        case kExitFailed:
            return 3;
        default:
            return 4;
    }
}

const char* outcomeWord(const AmpSummary& s) {
    if (s.confirmed && !*s.confirmed) return "not confirmed";
    if (s.upload.outcome == UploadOutcome::Completed && s.confirmed) return "confirmed";
    return outcomeName(s.upload.outcome);
}

void printTable(std::ostream& out, const std::vector<AmpSummary>& amps) {
    std::size_t width = 3;
    for (const AmpSummary& a : amps) width = std::max(width, a.amp.size());
    char row[512];
    std::snprintf(row, sizeof row, "%-*s  %-16s  %-13s  %6s  %8s\n", static_cast<int>(width), "Amp",
                  "Revision", "Outcome", "Errors", "Time");
    out << row;
    for (const AmpSummary& a : amps) {
        const std::string revision = (a.oldRevision.empty() ? "?" : a.oldRevision) + " -> " +
                                     (a.newRevision.empty() ? "?" : a.newRevision);
        std::snprintf(row, sizeof row, "%-*s  %-16s  %-13s  %6d  %8s\n", static_cast<int>(width),
                      a.amp.c_str(), revision.c_str(), outcomeWord(a), a.upload.errorCount,
                      secondsText(a.elapsedMs).c_str());
        out << row;
    }
}

}  // namespace

int uploadToAllAmps(const UploadOptions& options, MidiSystem midi) {
    const auto backend = midi();
    if (!options.json) std::cout << "Looking for the amps...\n";
    const Detection found = detectAmps(backend);
    if (found.amps.empty()) {
        const std::string problem = theOnlyAmp(found).problem;
        if (options.json) {
            std::cout << JsonObject()
                             .addString("event", "result")
                             .addString("outcome", "failed")
                             .addString("failure", "no-amp")
                             .addString("error", problem)
                             .addInt("exit", kExitFailed)
                             .str()
                      << std::endl;
        } else {
            std::cout << "kaldo-flash upload: " << problem << "\n";
        }
        return kExitFailed;
    }

    std::vector<std::string> names;
    for (const FoundAmp& amp : found.amps) names.push_back(amp.out.name);
    const bool rows = !options.json && canRedrawLines();
    SharedConsole console(std::cout, names, rows);
    for (const FoundAmp& amp : found.amps) {
        JsonObject json;
        json.addString("event", "found")
            .addString("out", amp.out.name)
            .addString("in", amp.in.name)
            .addString("version", amp.versionText);
        console.printLine(options.json ? json.addString("amp", amp.out.name).str()
                                       : "Found " + amp.out.name + " / " + amp.in.name + ", version " +
                                             amp.versionText);
    }

    // One sleep guard for the whole run; the engines hold one that asks nobody.
    const auto guard = power::systemSleepGuard();
    const SleepHold awake(*guard);
    if (!awake.problem().empty()) {
        console.printLine(
            options.json ? JsonObject().addString("event", "note").addString("text", awake.problem()).str()
                         : awake.problem());
    }
    NoSleepGuard heldByTheRun;

    // Each engine is made on its own thread too: making one lists the devices, which waits for the
    // system, and three in a row would hold the others back.
    std::vector<AmpSummary> summaries(found.amps.size());
    std::mutex madeMutex;
    std::vector<AmpUpload*> made;
    {
        InterruptWatch watch([&] {
            std::lock_guard lock(madeMutex);
            for (AmpUpload* amp : made) amp->cancel();
        });
        // One watch for every amp: a process keeps to one (see DeviceWatch).
        const auto devices = backend->watchDevices([&] {
            std::lock_guard lock(madeMutex);
            for (AmpUpload* amp : made) amp->devicesChanged();
        });
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < found.amps.size(); ++i) {
            threads.emplace_back([&, i] {
                const FoundAmp& amp = found.amps[i];
                UploadOptions one = options;
                one.out = amp.out.name;
                one.in = options.mode == Mode::Blind ? std::string() : amp.in.name;
                AmpUpload upload(one, backend,
                                 TerminalOptions{options.json, options.yes, inputIsTerminal(), rows},
                                 OneOfSeveral{amp.out.name, &console}, &heldByTheRun);
                {
                    std::lock_guard lock(madeMutex);
                    made.push_back(&upload);
                }
                summaries[i] = upload.run();
                std::lock_guard lock(madeMutex);
                std::erase(made, &upload);
            });
        }
        for (std::thread& thread : threads) thread.join();
    }
    console.finish();
    if (!options.json) {
        std::cout << "\n";
        printTable(std::cout, summaries);
    }
    int exitStatus = kExitOk;
    for (const AmpSummary& s : summaries) {
        if (badness(s.exitStatus) > badness(exitStatus)) exitStatus = s.exitStatus;
    }
    return exitStatus;
}

}  // namespace kaldo::cli
