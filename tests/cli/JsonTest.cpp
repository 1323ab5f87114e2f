#include <gtest/gtest.h>

#include "AmpsOnTheLine.h"
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

// What `detect --json` prints, exactly: scripts pick the amp's ports out of it.
TEST(Json, DetectionAsOneObjectOfAmpsAndOthers) {
    Detection found;
    found.amps.push_back({{2, "KALDO Amp In"}, {3, "KALDO Amp Out"}, 0x00020800, "02.80"});
    found.others.push_back({{1, "Synth \"Pro\""}, {0, "Synth In"}, "00 20 6B"});
    EXPECT_EQ(detectionJson(found).str(),
              R"({"amps":[{"out":{"number":2,"name":"KALDO Amp In"},"in":{"number":3,"name":"KALDO Amp Out"},)"
              R"("version":"02.80","packed":133120}],"others":[{"out":{"number":1,"name":"Synth \"Pro\""},)"
              R"("in":{"number":0,"name":"Synth In"},"manufacturer":"00 20 6B"}]})");
    EXPECT_EQ(detectionJson({}).str(), R"({"amps":[],"others":[]})");
}

}  // namespace
}  // namespace kaldo::cli
