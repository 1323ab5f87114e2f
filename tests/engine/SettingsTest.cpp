#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "RecordingUi.h"
#include "Settings.h"
#include "TempDir.h"
#include "Utf8.h"

namespace kaldo {
namespace {

using test::readAll;
using test::writeAll;

class SettingsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path file = dir.path() / "kaldoUpdater.INI";
    Settings settings{file};
    test::RecordingUi ui;
};

TEST_F(SettingsTest, FirstRunTakesTheDefaultsAndWritesNothing) {
    const StartupSettings s = settings.load();
    EXPECT_EQ(s.version, -1);
    EXPECT_TRUE(s.firstTime);
    EXPECT_EQ(s.top, 100);
    EXPECT_EQ(s.left, 100);
    EXPECT_FALSE(s.firmwareFile);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(SettingsTest, CloseWritesInOrderWithoutFirstTimeOrFile) {
    ASSERT_TRUE(settings.save({-1, 3, 122, 115, std::nullopt, "", ""}, ui));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(readAll(file),
              "[INI_VERSION]\r\nVERSION=1\r\n[MIDI_SELECTION]\r\nMIDI_OutPort=-1\r\nMIDI_InPort=3\r\n"
              "[START_POS]\r\nX=122\r\nY=115\r\n");
}

TEST_F(SettingsTest, PositionAndBackslashedPathComeBackAsSaved) {
    ASSERT_TRUE(settings.save({0, 1, 300, 50, std::string("C:\\fw\\new.syx"), "KALDO Amp 1", "KALDO Amp 1 In"}, ui));
    EXPECT_NE(readAll(file).find("[FIRMWARE]\r\nFILE=C:\\fw\\new.syx\r\n"), std::string::npos);
    const StartupSettings s = settings.load();
    EXPECT_EQ(s.version, 1);
    EXPECT_EQ(s.top, 300);  // X is the top edge
    EXPECT_EQ(s.left, 50);  // Y is the left edge
    EXPECT_EQ(s.firmwareFile, "C:\\fw\\new.syx");
    EXPECT_EQ(s.outName, "KALDO Amp 1");
    EXPECT_EQ(s.inName, "KALDO Amp 1 In");
}

TEST_F(SettingsTest, LongFolderAndFirmwarePathInAnyScriptComeBackAsSaved) {
    auto deep = dir.path() / pathFromUtf8("Einstellungen ファイル");
    for (int i = 0; i < 4; ++i) deep /= std::string(70, static_cast<char>('a' + i));
    const Settings far(deep / "kaldoUpdater.INI");
    ASSERT_GT(utf8FromPath(far.path()).size(), 300u);
    const std::string firmware = "C:\\Users\\Jürgen\\ファーム\\fürmware.syx";
    ASSERT_TRUE(far.save({-1, -1, 1, 2, firmware, "KALDO Ampère Out", "KALDO Ampère In"}, ui));
    EXPECT_EQ(far.load().firmwareFile, firmware);
    EXPECT_EQ(far.load().outName, "KALDO Ampère Out");
    ASSERT_TRUE(far.save({-1, -1, 3, 4, firmware, "", ""}, ui));  // replacing the file there
    EXPECT_EQ(far.load().top, 3);
}

TEST_F(SettingsTest, ClosingWithoutFirmwareDeletesTheRememberedFileOnly) {
    writeAll(file, "[INI_VERSION]\r\nVERSION=1\r\n[FIRST_TIME]\r\nFT=0\r\n[FIRMWARE]\r\nFILE=/old.syx\r\n");
    ASSERT_TRUE(settings.save({-1, -1, 10, 20, std::nullopt, "", ""}, ui));
    const StartupSettings s = settings.load();
    EXPECT_FALSE(s.firmwareFile);
    EXPECT_FALSE(s.firstTime);  // the close never writes FT
    EXPECT_NE(readAll(file).find("[FIRMWARE]"), std::string::npos);
}

TEST_F(SettingsTest, NoFileSentinelMeansNoFirmware) {
    writeAll(file, "[INI_VERSION]\nVERSION=1\n[FIRMWARE]\nFILE=no file\n");
    EXPECT_FALSE(settings.load().firmwareFile);
    writeAll(file, "[INI_VERSION]\nVERSION=1\n[FIRMWARE]\nFILE=no file.syx\n");
    EXPECT_EQ(settings.load().firmwareFile, "no file.syx");
}

TEST_F(SettingsTest, StaleVersionErasesFirmwarePositionAndMidiButKeepsFirstTime) {
    for (const std::string& version : {std::string("[INI_VERSION]\r\nVERSION=2\r\n"), std::string()}) {
        SCOPED_TRACE(version);
        writeAll(file, version +
                           "[FIRST_TIME]\r\nFT=0\r\n[START_POS]\r\nX=300\r\nY=50\r\n[MIDI_SELECTION]\r\n"
                           "MIDI_OutPort=2\r\n[FIRMWARE]\r\nFILE=C:\\fw\\new.syx\r\n[OTHER]\r\nk=v\r\n");
        const StartupSettings s = settings.load();
        EXPECT_FALSE(s.firstTime);
        EXPECT_EQ(s.top, 100);
        EXPECT_EQ(s.left, 100);
        EXPECT_FALSE(s.firmwareFile);
        EXPECT_EQ(readAll(file), version + "[FIRST_TIME]\r\nFT=0\r\n[OTHER]\r\nk=v\r\n");
    }
}

TEST_F(SettingsTest, FirstTimeIsWrittenByItsTogglesAlone) {
    ASSERT_TRUE(settings.writeFirstTime(false));
    EXPECT_FALSE(settings.load().firstTime);
    ASSERT_TRUE(settings.save({-1, -1, 1, 2, std::nullopt, "", ""}, ui));
    EXPECT_FALSE(settings.load().firstTime);
    ASSERT_TRUE(settings.writeFirstTime(true));
    EXPECT_TRUE(settings.load().firstTime);
    EXPECT_EQ(settings.load().top, 1);
}

TEST_F(SettingsTest, FailedSaveSaysSoInTheIniBox) {
    writeAll(dir.path() / "plain", "a file, not a folder");
    Settings nowhere(dir.path() / "plain" / "kaldoUpdater.INI");
    EXPECT_FALSE(nowhere.save({-1, -1, 100, 100, std::string("/fw.syx"), "", ""}, ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Could not save program settings.");
    EXPECT_EQ(ui.messages[0].caption, "ini");
    EXPECT_EQ(ui.messages[0].buttons, Buttons::Ok);
    EXPECT_FALSE(nowhere.writeFirstTime(false));
}

TEST(SettingsPath, IsTheExecutableWithTheExtensionIni) {
    EXPECT_EQ(Settings::besideExecutable("/opt/kaldo/kaldoUpdater.exe"), "/opt/kaldo/kaldoUpdater.INI");
    EXPECT_EQ(Settings::besideExecutable("/usr/bin/kaldo-updater"), "/usr/bin/kaldo-updater.INI");
}

// The per-user configuration folder, named by the environment for one test: %APPDATA% on Windows,
// $XDG_CONFIG_HOME elsewhere. Set in the system's own characters (UTF-16 on Windows).
class ConfigHome {
public:
    using Text = std::filesystem::path::string_type;

    explicit ConfigHome(const std::filesystem::path& folder) {
        if (const auto* old = get()) old_ = old;
        set(folder.native());
    }
    ~ConfigHome() { set(old_ ? *old_ : Text()); }

private:
#if defined(_WIN32)
    static const wchar_t* get() { return _wgetenv(L"APPDATA"); }
    static void set(const Text& value) { _wputenv_s(L"APPDATA", value.c_str()); }  // empty: unset
#else
    static const char* get() { return std::getenv("XDG_CONFIG_HOME"); }
    static void set(const Text& value) {
        if (value.empty()) {
            unsetenv("XDG_CONFIG_HOME");
        } else {
            setenv("XDG_CONFIG_HOME", value.c_str(), 1);
        }
    }
#endif

    std::optional<Text> old_;
};

// The three places a program's settings can be, each with real folders: prefix stands for a system
// prefix such as /usr, config for the user's configuration folder.
class SettingsPlace : public ::testing::Test {
protected:
    test::TempDir dir;
    // A user name outside every ANSI code page.
    const std::filesystem::path config = dir.path() / pathFromUtf8("Jürgen ギタリスト");
    ConfigHome home{config};
    std::vector<std::filesystem::path> prefixes{dir.path() / "usr", dir.path() / "opt"};
    std::filesystem::path perUser = config / "KaldoUpdater" / "kaldo-updater.INI";

    std::filesystem::path program(const std::filesystem::path& folder) {
        std::filesystem::create_directories(dir.path() / folder);
        return dir.path() / folder / "kaldo-updater";
    }
};

TEST_F(SettingsPlace, InstalledProgramKeepsItsSettingsPerUserThoughItCouldWriteBesideItself) {
    for (const char* folder : {"usr/bin", "usr/local/bin", "opt/kaldo/bin"}) {
        SCOPED_TRACE(folder);
        const Settings settings = Settings::forExecutable(program(folder), prefixes);
        EXPECT_EQ(settings.path(), perUser);
        test::RecordingUi ui;
        ASSERT_TRUE(settings.save({-1, -1, 5, 6, std::nullopt, "", ""}, ui));
        EXPECT_EQ(settings.load().top, 5);
        // Nothing beside the program, not even the probe for a writable folder.
        EXPECT_TRUE(std::filesystem::is_empty(dir.path() / folder));
    }
    // The real prefixes, whoever runs the test (root can write to /usr/bin).
    EXPECT_EQ(Settings::forExecutable("/usr/bin/kaldo-updater").path(), perUser);
    EXPECT_EQ(Settings::forExecutable("/opt/kaldo/kaldo-updater").path(), perUser);
}

TEST_F(SettingsPlace, ProgramElsewhereKeepsItsSettingsBesideItselfWhereItCan) {
    // A build tree, and a folder whose name only begins like a system prefix.
    for (const char* folder : {"build/bin", "usr2/bin"}) {
        SCOPED_TRACE(folder);
        EXPECT_EQ(Settings::forExecutable(program(folder), prefixes).path(),
                  dir.path() / folder / "kaldo-updater.INI");
    }
    // A folder that cannot be written, whoever runs the test: one below a plain file.
    writeAll(dir.path() / "plain", "x");
    const Settings fallback = Settings::forExecutable(dir.path() / "plain" / "kaldo-updater", prefixes);
    EXPECT_EQ(fallback.path(), perUser);
    test::RecordingUi ui;
    ASSERT_TRUE(fallback.save({-1, -1, 5, 6, std::nullopt, "", ""}, ui));
    EXPECT_EQ(fallback.load().top, 5);
}

// Unzipped into any folder it can write to, a Windows program keeps its settings in %APPDATA% (and
// leaves nothing beside itself) unless a file already lies there; a program elsewhere keeps them beside
// itself.
TEST_F(SettingsPlace, UnzippedProgramFollowsItsSystemsRule) {
    const auto executable = program("Downloads/kaldo");
    const auto beside = dir.path() / "Downloads" / "kaldo" / "kaldo-updater.INI";
#if defined(_WIN32)
    EXPECT_EQ(Settings::forExecutable(executable).path(), perUser);
    EXPECT_TRUE(std::filesystem::is_empty(beside.parent_path()));
#else
    EXPECT_EQ(Settings::forExecutable(executable).path(), beside);
#endif
    writeAll(beside, "[FIRST_TIME]\r\nFT=0\r\n");
    EXPECT_EQ(Settings::forExecutable(executable).path(), beside);
}

TEST_F(SettingsPlace, FileAlreadyBesideAnInstalledProgramStaysInUse) {
    const auto executable = program("opt/kaldo");
    writeAll(dir.path() / "opt" / "kaldo" / "kaldo-updater.INI", "[FIRST_TIME]\r\nFT=0\r\n");
    const Settings settings = Settings::forExecutable(executable, prefixes);
    EXPECT_EQ(settings.path(), dir.path() / "opt" / "kaldo" / "kaldo-updater.INI");
    EXPECT_FALSE(settings.load().firstTime);
    ASSERT_TRUE(settings.writeFirstTime(true));
    EXPECT_TRUE(Settings::forExecutable(executable, prefixes).load().firstTime);
    EXPECT_FALSE(std::filesystem::exists(perUser));
}

}  // namespace
}  // namespace kaldo
