#include "Settings.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>

#include "IniFile.h"
#include "UpdaterUi.h"

namespace kaldo {
namespace {

constexpr const char* kNoFile = "no file";

bool folderIsWritable(const std::filesystem::path& folder) {
    std::random_device rd;
    const auto probe = folder / (".kaldo-write-test-" + std::to_string(rd()));
    std::ofstream file(probe, std::ios::binary);
    if (!file) return false;
    file.close();
    std::error_code ec;
    std::filesystem::remove(probe, ec);
    return true;
}

// Whether path lies in folder or below it, by the names alone: "/usr2/bin" is not in "/usr". Every
// path lies in the empty folder.
bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
    if (folder.empty()) return true;
    const auto relative = std::filesystem::absolute(path).lexically_normal().lexically_relative(
        std::filesystem::absolute(folder).lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

std::filesystem::path perUserFolder() {
#if defined(_WIN32)
    // Read as UTF-16: getenv gives the ANSI code page, which cannot hold every user name.
    const wchar_t* appData = _wgetenv(L"APPDATA");
    return std::filesystem::path(appData ? appData : L".") / "KaldoUpdater";
#else
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path base;
#if defined(__APPLE__)
    base = std::filesystem::path(home ? home : ".") / "Library" / "Application Support";
#else
    // The base directory rules: a relative XDG_CONFIG_HOME is ignored.
    if (xdg && std::filesystem::path(xdg).is_absolute()) {
        base = xdg;
    } else {
        base = std::filesystem::path(home ? home : ".") / ".config";
    }
#endif
    return base / "KaldoUpdater";
#endif
}

}  // namespace

std::filesystem::path Settings::besideExecutable(const std::filesystem::path& executable) {
    return std::filesystem::path(executable).replace_extension(".INI");
}

std::filesystem::path Settings::perUserPath(const std::filesystem::path& executable) {
    return perUserFolder() / besideExecutable(executable).filename();
}

#if defined(_WIN32)
const std::vector<std::filesystem::path> Settings::kSystemPrefixes{std::filesystem::path()};
#else
const std::vector<std::filesystem::path> Settings::kSystemPrefixes{"/usr", "/opt"};
#endif

Settings Settings::forExecutable(const std::filesystem::path& executable,
                                 const std::vector<std::filesystem::path>& systemPrefixes) {
    const auto beside = besideExecutable(executable);
    // Decided before any probe, so that no test file is ever written into a system folder.
    const bool installed = !std::filesystem::exists(beside) &&
                           std::ranges::any_of(systemPrefixes, [&](const std::filesystem::path& prefix) {
                               return isWithin(executable, prefix);
                           });
    if (!installed && folderIsWritable(beside.parent_path())) return Settings(beside);
    return Settings(perUserPath(executable));
}

StartupSettings Settings::load() const {
    IniFile ini;
    // An unreadable file is no file: every value takes its default.
    if (!ini.load(path_)) ini = IniFile{};
    StartupSettings s;
    s.version = ini.readInt("INI_VERSION", "VERSION", -1);
    s.firstTime = ini.readBool("FIRST_TIME", "FT", true);
    if (s.version != kFormatVersion) {
        bool erased = ini.eraseSection("FIRMWARE");
        erased = ini.eraseSection("START_POS") || erased;
        erased = ini.eraseSection("MIDI_SELECTION") || erased;
        // Should this write fail, the values below still come from the erased copy.
        if (erased) ini.save(path_);
    }
    s.top = ini.readInt("START_POS", "X", 100);
    s.left = ini.readInt("START_POS", "Y", 100);
    const std::string file = ini.readString("FIRMWARE", "FILE", kNoFile);
    if (file != kNoFile) s.firmwareFile = file;
    s.outName = ini.readString("MIDI_SELECTION", "OUT_NAME", "");
    s.inName = ini.readString("MIDI_SELECTION", "IN_NAME", "");
    return s;
}

bool Settings::save(const ClosingSettings& values, UpdaterUi& ui) const {
    IniFile ini;
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    bool saved = ini.load(path_);
    if (saved) {
        ini.writeInt("INI_VERSION", "VERSION", kFormatVersion);
        ini.writeInt("MIDI_SELECTION", "MIDI_OutPort", values.outPort);
        ini.writeInt("MIDI_SELECTION", "MIDI_InPort", values.inPort);
        for (const auto& [key, name] : {std::pair{"OUT_NAME", values.outName}, std::pair{"IN_NAME", values.inName}}) {
            if (name.empty()) {
                ini.deleteKey("MIDI_SELECTION", key);
            } else {
                ini.writeString("MIDI_SELECTION", key, name);
            }
        }
        ini.writeInt("START_POS", "X", values.top);
        ini.writeInt("START_POS", "Y", values.left);
        if (values.loadedPath) {
            ini.writeString("FIRMWARE", "FILE", *values.loadedPath);
        } else {
            ini.deleteKey("FIRMWARE", "FILE");
        }
        saved = ini.save(path_);
    }
    if (!saved) ui.messageBox("Could not save program settings.", "ini", Buttons::Ok);
    return saved;
}

bool Settings::writeFirstTime(bool firstTime) const {
    IniFile ini;
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (!ini.load(path_)) return false;
    ini.writeBool("FIRST_TIME", "FT", firstTime);
    return ini.save(path_);
}

}  // namespace kaldo
