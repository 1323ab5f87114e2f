#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "IniFile.h"
#include "TempDir.h"

namespace kaldo {
namespace {

using test::readAll;
using test::writeAll;

class IniFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path file = dir.path() / "kaldoUpdater.INI";
};

TEST_F(IniFileTest, ReadsAFileWrittenOnWindows) {
    writeAll(file,
             "; kept comment\r\n[First_Time]\r\nFT=0\r\n\r\n[FIRMWARE]\r\n file = C:\\fw\\new.syx \r\n"
             "[START_POS]\r\nX=300\r\nY=-50\r\nNAME=\"quoted value\"\r\n");
    IniFile ini;
    ASSERT_TRUE(ini.load(file));
    EXPECT_FALSE(ini.readBool("FIRST_TIME", "FT", true));
    EXPECT_EQ(ini.readString("FIRMWARE", "FILE", "no file"), "C:\\fw\\new.syx");
    EXPECT_EQ(ini.readInt("start_pos", "x", 100), 300);
    EXPECT_EQ(ini.readInt("START_POS", "Y", 100), -50);
    EXPECT_EQ(ini.readString("START_POS", "NAME", ""), "quoted value");
    EXPECT_EQ(ini.readInt("START_POS", "Z", 100), 100);
    EXPECT_EQ(ini.readInt("NOWHERE", "X", 7), 7);
    EXPECT_EQ(ini.readString("FIRMWARE", "; kept comment", "none"), "none");
}

TEST_F(IniFileTest, IntegersReadLikeThePrivateProfileFunctions) {
    writeAll(file, "[S]\na=42abc\nb=abc\nc=\nd=99999999999\ne=-99999999999\nf=+5\ng=2\n");
    IniFile ini;
    ASSERT_TRUE(ini.load(file));
    EXPECT_EQ(ini.readInt("S", "a", -1), 42);
    EXPECT_EQ(ini.readInt("S", "b", -1), 0);
    EXPECT_EQ(ini.readInt("S", "c", -1), 0);
    EXPECT_EQ(ini.readInt("S", "d", -1), INT_MAX);
    EXPECT_EQ(ini.readInt("S", "e", -1), INT_MIN);
    EXPECT_EQ(ini.readInt("S", "f", -1), 5);
    EXPECT_TRUE(ini.readBool("S", "g", false));
    EXPECT_FALSE(ini.readBool("S", "b", true));
}

TEST_F(IniFileTest, BackslashesAndOtherBytesRoundTripUnchanged) {
    const std::string paths[] = {"C:\\fw\\new.syx", "\\\\server\\share\\a b\\x.syx", "C:\\n\\t\\\"odd\\",
                                 "/home/ü/fw;1.syx"};
    IniFile ini;
    for (std::size_t i = 0; i < std::size(paths); ++i)
        ini.writeString("FIRMWARE", "FILE" + std::to_string(i), paths[i]);
    ASSERT_TRUE(ini.save(file));
    EXPECT_NE(readAll(file).find("FILE0=C:\\fw\\new.syx\r\n"), std::string::npos);

    IniFile again;
    ASSERT_TRUE(again.load(file));
    for (std::size_t i = 0; i < std::size(paths); ++i) {
        EXPECT_EQ(again.readString("FIRMWARE", "FILE" + std::to_string(i), ""), paths[i]);
    }
}

TEST_F(IniFileTest, WritesKeepTheRestOfTheFileInPlace) {
    writeAll(file, "[A]\nk1=1\n\n[B]\n; note\nx=1\n\n[C]\ny=2\n");
    IniFile ini;
    ASSERT_TRUE(ini.load(file));
    ini.writeInt("a", "K1", 5);      // replaced in place, under the name written
    ini.writeInt("A", "k2", 6);      // added after the section's last key, before the blank line
    ini.writeBool("D", "FT", true);  // new section at the end
    ini.deleteKey("B", "x");
    ini.deleteKey("B", "missing");
    EXPECT_TRUE(ini.eraseSection("c"));
    EXPECT_FALSE(ini.eraseSection("c"));
    EXPECT_EQ(ini.lines(),
              (std::vector<std::string>{"[A]", "K1=5", "k2=6", "", "[B]", "; note", "", "[D]", "FT=1"}));

    ASSERT_TRUE(ini.save(file));
    EXPECT_EQ(readAll(file), "[A]\r\nK1=5\r\nk2=6\r\n\r\n[B]\r\n; note\r\n\r\n[D]\r\nFT=1\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(IniFileTest, ErasingASectionErasesEveryCopyOfIt) {
    writeAll(file, "[START_POS]\nX=1\n[FT]\nFT=0\n[ start_pos ]\nX=2\n");
    IniFile ini;
    ASSERT_TRUE(ini.load(file));
    EXPECT_EQ(ini.readInt("START_POS", "X", 100), 1);  // the first copy is the one read
    EXPECT_TRUE(ini.eraseSection("START_POS"));
    EXPECT_EQ(ini.readInt("START_POS", "X", 100), 100);
    EXPECT_EQ(ini.lines(), (std::vector<std::string>{"[FT]", "FT=0"}));
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndFailedSaveLeavesNothing) {
    IniFile ini;
    EXPECT_TRUE(ini.load(dir.path() / "none.INI"));
    EXPECT_TRUE(ini.lines().empty());

    writeAll(dir.path() / "plain", "not a folder");
    ini.writeInt("S", "k", 1);
    EXPECT_FALSE(ini.save(dir.path() / "plain" / "x.INI"));
    EXPECT_EQ(readAll(dir.path() / "plain"), "not a folder");
}

}  // namespace
}  // namespace kaldo
