#include <gtest/gtest.h>

#include "Json.h"

namespace kaldo::cli {
namespace {

TEST(Json, StringsAreEscapedAsJsonRequires) {
    EXPECT_EQ(jsonQuoted("C:\\fw\\new.syx"), R"("C:\\fw\\new.syx")");
    EXPECT_EQ(jsonQuoted("say \"hi\""), R"("say \"hi\"")");
    EXPECT_EQ(jsonQuoted("a\nb\tc\r\b\f"), R"("a\nb\tc\r\b\f")");
    EXPECT_EQ(jsonQuoted(std::string("\x01\x1f", 2)), R"("\u0001\u001f")");
    EXPECT_EQ(jsonQuoted(std::string("nul\0x", 5)), R"("nul\u0000x")");
    EXPECT_EQ(jsonQuoted("Grüße /"), "\"Grüße /\"");
    EXPECT_EQ(jsonQuoted("Old  "), "\"Old  \"");
}

TEST(Json, ObjectKeepsKeyOrderAndValueTypes) {
    JsonObject json;
    EXPECT_EQ(json.str(), "{}");
    json.addBool("valid", false)
        .addString("error", "bad \"file\"")
        .addInt("fileVersion", 0x00020803)
        .addInt("n", -4294967296);
    EXPECT_EQ(json.str(), R"({"valid":false,"error":"bad \"file\"","fileVersion":133123,"n":-4294967296})");
}

}  // namespace
}  // namespace kaldo::cli
