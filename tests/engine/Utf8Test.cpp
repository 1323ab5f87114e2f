// Text at the program's edges: UTF-16 from the system, UTF-8 everywhere inside, paths in between.
#include <gtest/gtest.h>

#include <fstream>

#include "TempDir.h"
#include "Utf8.h"

namespace kaldo {
namespace {

TEST(Utf8, Utf16BecomesUtf8InEveryPlane) {
    EXPECT_EQ(utf8FromUtf16(u"USB MIDI"), "USB MIDI");
    EXPECT_EQ(utf8FromUtf16(u"Gerät"), "Gerät");                            // two bytes
    EXPECT_EQ(utf8FromUtf16(u"ギター"), "ギター");                          // three
    EXPECT_EQ(utf8FromUtf16(u"\U0001F3B8 riff"), "\xF0\x9F\x8E\xB8 riff");  // a surrogate pair: four
    // Names cut off after 31 characters may end in half a pair.
    EXPECT_EQ(utf8FromUtf16(std::u16string{u'a', 0xD83C}), "a\xEF\xBF\xBD");
    EXPECT_EQ(utf8FromUtf16(std::u16string{0xDF78, u'b'}),
              "\xEF\xBF\xBD"
              "b");
}

TEST(Utf8, WellFormedTextIsToldFromAnsiAndBrokenSequences) {
    for (const char* good :
         {"", "fw.syx", "fürmware.syx", "ギター", "\xF0\x9F\x8E\xB8", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(isUtf8(good)) << good;
    }
    for (const char* bad : {
             "f\xFCrmware.syx",       // Latin-1 / Windows-1252, as an older program wrote it
             "\xC0\x80",              // an overlong NUL
             "\xE0\x80\xAF",          // an overlong slash
             "\xED\xA0\x80",          // a surrogate
             "\xF4\x90\x80\x80",      // past U+10FFFF
             "\xE3\x82",              // cut short
             "\x82",                  // a stray continuation byte
             "\xF8\x88\x80\x80\x80",  // five bytes
         }) {
        EXPECT_FALSE(isUtf8(bad)) << testing::PrintToString(std::string(bad));
    }
}

// Files named in any script are made, found and named again as the same UTF-8 text. On Windows a
// path taken in the ANSI code page would name another file, or none.
TEST(Utf8, PathsInAnyScriptNameTheSameFileBothWays) {
    const test::TempDir dir;
    for (const std::string name : {"fürmware.syx", "ファームウェア 2.83.syx", "\xF0\x9F\x8E\xB8 riff.syx"}) {
        const std::filesystem::path path = dir.path() / pathFromUtf8(name);
        std::ofstream(path) << "x";
        EXPECT_TRUE(std::filesystem::exists(path)) << name;
        EXPECT_EQ(utf8FromPath(path.filename()), name);
        EXPECT_EQ(fileNameOf(utf8FromPath(path)), name);
        bool listed = false;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            listed = listed || utf8FromPath(entry.path().filename()) == name;
        }
        EXPECT_TRUE(listed) << name;
    }
    // A name an older program saved in its code page still makes a path, without an exception.
    std::string ansi;
    EXPECT_NO_THROW(ansi = fileNameOf("C:\\fw\\f\xFCrmware.syx"));
    EXPECT_FALSE(ansi.empty());
}

}  // namespace
}  // namespace kaldo
