#pragma once
// The program's settings file: what survives between runs (first-time flag, window position, last
// firmware file). Windows private-profile format, named after the executable with the extension
// ".INI" and kept beside it, or in the user's configuration folder for an installed program or when
// that folder is not writable.
// Read once at start, written at close and by the first-time toggles; no handle is kept open.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kaldo {

class UpdaterUi;

// What the main window takes at start.
struct StartupSettings {
    int version = -1;                         // INI_VERSION/VERSION as found
    bool firstTime = true;                    // FIRST_TIME/FT: open the wizard
    int top = 100;                            // START_POS/X
    int left = 100;                           // START_POS/Y
    std::optional<std::string> firmwareFile;  // FIRMWARE/FILE; none for the text "no file"
    // MIDI_SELECTION/OUT_NAME and IN_NAME: the devices chosen last time, by name; empty for none. The
    // device numbers beside them (MIDI_OutPort, MIDI_InPort) mean nothing once devices come and go.
    std::string outName;
    std::string inName;
};

// What the main window hands over at close.
struct ClosingSettings {
    int outPort = -1;  // selected MIDI device numbers, -1 for none
    int inPort = -1;
    int top = 0;
    int left = 0;
    std::optional<std::string> loadedPath;  // none when no firmware is loaded
    std::string outName;                    // the selected devices' names, empty for none
    std::string inName;
};

class Settings {
public:
    static constexpr int kFormatVersion = 1;

    explicit Settings(std::filesystem::path file) : path_(std::move(file)) {}

    // Folders under which a program counts as installed: /usr (with /usr/local) and /opt. On Windows
    // every folder (an empty path stands for every folder): a program unzipped anywhere keeps its
    // settings in %APPDATA% as Windows programs do, not in Program Files or Downloads.
    static const std::vector<std::filesystem::path> kSystemPrefixes;

    // The settings of the program at executable. An installed program (one under a system prefix)
    // keeps them in the per-user folder (see perUserPath), even where it could write beside itself,
    // as when root runs it. Any other program keeps them beside itself when its folder is writable, as
    // does an installed one that already has a settings file there (a portable set-up); otherwise they
    // go to the per-user folder too.
    static Settings forExecutable(const std::filesystem::path& executable,
                                  const std::vector<std::filesystem::path>& systemPrefixes = kSystemPrefixes);
    // executable with its extension replaced by ".INI".
    static std::filesystem::path besideExecutable(const std::filesystem::path& executable);
    // The same name in the per-user configuration folder's "KaldoUpdater" folder: $XDG_CONFIG_HOME or
    // ~/.config on Linux and other Unix systems, %APPDATA% on Windows, ~/Library/Application Support
    // on macOS.
    static std::filesystem::path perUserPath(const std::filesystem::path& executable);

    const std::filesystem::path& path() const { return path_; }

    // Reads everything the start needs. A file of another format version (or none) loses its
    // FIRMWARE, START_POS and MIDI_SELECTION sections first; FIRST_TIME is kept.
    StartupSettings load() const;

    // Writes VERSION, MIDI_OutPort, MIDI_InPort, OUT_NAME, IN_NAME, X, Y and FILE (a name or FILE
    // deleted when there is none), in that order, in one replacement of the file. On failure nothing is changed and ui shows "Could not save program
    // settings."; returns whether it was saved.
    bool save(const ClosingSettings& values, UpdaterUi& ui) const;

    // FIRST_TIME/FT, written by the "Startup Help" command and the wizard's check box only.
    bool writeFirstTime(bool firstTime) const;

private:
    std::filesystem::path path_;
};

}  // namespace kaldo
