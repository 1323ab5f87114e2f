// kaldo-flash list: the MIDI outputs and inputs, numbered as the updater's "Out" and "In" menus
// number them.
#include <iostream>
#include <sstream>

#include "Commands.h"
#include "Json.h"
#include "MidiDevices.h"
#include "SystemMidi.h"

namespace kaldo::cli {
namespace {

std::string jsonDevices(const std::vector<std::string>& names) {
    std::string out = "[";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += ",";
        out += JsonObject().addInt("number", static_cast<std::int64_t>(i)).addString("name", names[i]).str();
    }
    return out + "]";
}

int runList(bool json) {
    const auto backend = flashMidi();
    const midi::TMidiOut out(backend);
    const midi::TMidiIn in(backend);
    const auto outputs = deviceNames(out);
    const auto inputs = deviceNames(in);
    if (json) {
        std::cout << "{\"outputs\":" << jsonDevices(outputs) << ",\"inputs\":" << jsonDevices(inputs) << "}\n";
        return kExitOk;
    }
    std::cout << "MIDI system: " << midi::systemMidiName() << "\nOutputs:\n";
    printDevices(std::cout, outputs);
    std::cout << "Inputs:\n";
    printDevices(std::cout, inputs);
    return kExitOk;
}

}  // namespace

void addListCommand(CLI::App& app, int& exitStatus) {
    auto* list = app.add_subcommand("list", "List the MIDI outputs and inputs");
    auto json = std::make_shared<bool>(false);
    list->add_flag("--json", *json, "Print JSON");
    list->callback([json, &exitStatus] { exitStatus = runList(*json); });
}

}  // namespace kaldo::cli
