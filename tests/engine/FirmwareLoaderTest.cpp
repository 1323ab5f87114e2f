#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "FirmwareLoader.h"
#include "FirmwareWriter.h"
#include "IntermediateImage.h"
#include "RecordingUi.h"
#include "SharedFlags.h"
#include "TempDir.h"
#include "Utf8.h"

namespace kaldo {
namespace {

using test::RecordingUi;
using tools::FirmwareFormat;
using tools::FirmwareOptions;
using tools::makeFirmware;

const std::string kFileOperationText =
    "Can't perform one of the following file operations: Open, Seek, Read, Close.";

class FirmwareLoaderTest : public ::testing::Test {
protected:
    std::string write(const std::vector<std::uint8_t>& bytes, const std::string& name = "fw.syx") {
        const auto path = dir.path() / name;
        EXPECT_TRUE(tools::writeFile(path, bytes));
        return utf8FromPath(path);
    }
    std::string write(const FirmwareOptions& options, const std::string& name = "fw.syx") {
        return write(makeFirmware(options), name);
    }

    // A good packet file first, so that a refusal has something to replace.
    void loadGoodFile() {
        ASSERT_EQ(loader.ReadFile(write(FirmwareOptions{}, "good.syx")), kPacketFormat);
        ASSERT_NE(ui.status1[1], " ");
        ui.messages.clear();
    }

    void expectRefused(const std::string& textPart, Buttons buttons = Buttons::Ok) {
        EXPECT_EQ(loader.loadResult, kNotLoaded);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].text.find(textPart), std::string::npos) << ui.messages[0].text;
        EXPECT_EQ(ui.messages[0].caption, "File Error");
        EXPECT_EQ(ui.messages[0].buttons, buttons);
        for (int panel = 1; panel <= 4; ++panel) EXPECT_EQ(ui.status1[panel], " ") << "panel " << panel;
        EXPECT_EQ(ui.status1[0], "New Firmware");
    }

    test::TempDir dir;
    RecordingUi ui;
    SharedFlags flags;
    FirmwareLoader loader{ui, flags};
};

TEST_F(FirmwareLoaderTest, PacketFileRecordsItsHeaderAndShowsItsDetails) {
    FirmwareOptions options;
    options.version = 0x00010509;
    options.packetCount = 7;
    options.packetDataLength = 300;
    options.shownSize = 123456;
    const auto bytes = makeFirmware(options);
    const std::string path = write(bytes, "amp-01.59.syx");

    EXPECT_EQ(loader.ReadFile(path), kPacketFormat);
    EXPECT_EQ(loader.loadResult, kPacketFormat);
    EXPECT_EQ(loader.fileVersion, 0x00010509u);
    EXPECT_EQ(loader.versionText, "01.59");
    EXPECT_EQ(loader.packetCount, 7);
    EXPECT_EQ(loader.packetDataLength, 300);
    EXPECT_EQ(loader.shownSize, 123456u);
    EXPECT_EQ(loader.sendPointer, 0u);
    EXPECT_EQ(loader.sendLength, bytes.size());
    EXPECT_EQ(loader.loadedPath, path);
    ASSERT_EQ(loader.imageSize(), bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), loader.image()));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.status1[0], "New Firmware");
    EXPECT_EQ(ui.status1[1], "Version 01.59");
    EXPECT_EQ(ui.status1[2], "File Name: amp-01.59.syx");
    EXPECT_EQ(ui.status1[3], "File Size: 123456 Bytes");
    EXPECT_EQ(ui.status1[4], " ");
}

TEST_F(FirmwareLoaderTest, HeaderFieldsDecodeAsNibblesAndMaskedDigits) {
    auto bytes = makeFirmware(FirmwareOptions{});
    const std::uint8_t shown[] = {0x08, 0x04, 0x0D, 0x0C, 0x00, 0x00, 0x00, 0x00};
    std::copy(std::begin(shown), std::end(shown), bytes.begin() + 23);
    // Version bytes with high bits in the upper nibble: only the low four count for fileVersion.
    const std::uint8_t version[] = {0x30, 0x32, 0x38, 0x33};
    std::copy(std::begin(version), std::end(version), bytes.begin() + 31);

    ASSERT_EQ(loader.ReadFile(write(bytes)), kPacketFormat);
    EXPECT_EQ(loader.shownSize, 52552u);
    EXPECT_EQ(ui.status1[3], "File Size: 52552 Bytes");
    EXPECT_EQ(loader.fileVersion, 0x00020803u);
    EXPECT_EQ(loader.fileVersionUnmasked, 0x30323833u);
    EXPECT_EQ(loader.versionText, "02.83");
}

TEST_F(FirmwareLoaderTest, EncryptionFlagIsItsLowFourBitsEqualToOne) {
    struct Case {
        FirmwareFormat format;
        std::uint8_t flag;
        const char* panel4;
    };
    for (const Case c :
         {Case{FirmwareFormat::Packet, 0x01, "Encrypted"}, Case{FirmwareFormat::Packet, 0x11, "Encrypted"},
          Case{FirmwareFormat::Packet, 0x02, " "}, Case{FirmwareFormat::Packet, 0x00, " "},
          Case{FirmwareFormat::SingleBlock, 0x01, "Encrypted"},
          Case{FirmwareFormat::SingleBlock, 0x03, " "}}) {
        FirmwareOptions options;
        options.format = c.format;
        options.encryptionFlag = c.flag;
        ASSERT_NE(loader.ReadFile(write(options)), kNotLoaded);
        EXPECT_EQ(loader.encryptionFlag, c.flag);
        EXPECT_EQ(ui.status1[4], c.panel4) << "flag " << int(c.flag);
    }
}

TEST_F(FirmwareLoaderTest, SingleBlockFileIsOldAndShowsItsOwnSize) {
    FirmwareOptions packet;
    packet.packetCount = 3;
    packet.packetDataLength = 50;
    ASSERT_EQ(loader.ReadFile(write(packet, "first.syx")), kPacketFormat);

    FirmwareOptions single;
    single.format = FirmwareFormat::SingleBlock;
    single.blockLength = 5000;
    EXPECT_EQ(loader.ReadFile(write(single, "old.syx")), kSingleBlock);
    EXPECT_EQ(loader.fileVersion, 1u);
    EXPECT_EQ(loader.versionText, "Old  ");
    EXPECT_EQ(loader.sendLength, 5000u);
    EXPECT_EQ(ui.status1[1], "Version Old  ");
    EXPECT_EQ(ui.status1[2], "File Name: old.syx");
    EXPECT_EQ(ui.status1[3], "File Size: 5000 Bytes");
    // What the single-block format does not carry stays from the earlier load.
    EXPECT_EQ(loader.packetCount, 3);
    EXPECT_EQ(loader.packetDataLength, 50);
}

TEST_F(FirmwareLoaderTest, LargestFileThatFitsTheBufferLoads) {
    FirmwareOptions options;  // 37 + 3 x 349513 = 1048576
    options.packetCount = 3;
    options.packetDataLength = 349476;
    ASSERT_EQ(makeFirmware(options).size(), FirmwareLoader::kImageBufferSize);
    EXPECT_EQ(loader.ReadFile(write(options)), kPacketFormat);
}

// Paths come as UTF-8 (the command line, the file dialog, the settings file); Windows keeps names in
// UTF-16 and limits plain paths to 260 characters.
TEST_F(FirmwareLoaderTest, LongPathsWithNamesInAnyScriptLoadWhole) {
    std::filesystem::path deep = dir.path() / pathFromUtf8("Gitarren-Verstärker ギター");
    for (int i = 0; i < 6; ++i) deep /= std::string(60, static_cast<char>('a' + i));
    std::filesystem::create_directories(deep);
    const std::string path = utf8FromPath(deep / pathFromUtf8("fürmware ファーム with spaces.syx"));
    ASSERT_GT(path.size(), 300u);
    ASSERT_TRUE(tools::writeFile(pathFromUtf8(path), makeFirmware(FirmwareOptions{})));

    EXPECT_EQ(loader.ReadFile(path), kPacketFormat);
    EXPECT_EQ(loader.loadedPath, path);
    EXPECT_EQ(ui.status1[2], "File Name: fürmware ファーム with spaces.syx");
}

TEST_F(FirmwareLoaderTest, IntermediateImageLoadsWithoutTheDisk) {
    loadGoodFile();
    const std::string earlierPath = loader.loadedPath;
    flags.intermediateStage = true;

    EXPECT_EQ(loader.ReadFile("/no/such/file.syx"), kSingleBlock);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(loader.loadedPath, earlierPath);
    EXPECT_EQ(loader.sendLength, 52576u);
    EXPECT_EQ(loader.shownSize, 52576u);
    EXPECT_EQ(loader.sendPointer, 0u);
    EXPECT_EQ(loader.fileVersion, 1u);
    EXPECT_EQ(loader.image(), intermediateImage().data());
    EXPECT_EQ(ui.status1[1], "Version 1.39");
    EXPECT_EQ(ui.status1[2], "Internal");
    EXPECT_EQ(ui.status1[3], "File Size: 52576 Bytes");
    EXPECT_EQ(ui.status1[4], " ");

    flags.intermediateStage = false;
    EXPECT_EQ(loader.ReadFile(earlierPath), kPacketFormat);
    EXPECT_EQ(ui.status1[2], "File Name: good.syx");
}

TEST(IntermediateImage, IsOneSevenBitSingleBlockMessageWithTheKaldoHeader) {
    const auto image = intermediateImage();
    ASSERT_EQ(image.size(), 52576u);
    const std::vector<std::uint8_t> header{0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x16};
    EXPECT_TRUE(std::equal(header.begin(), header.end(), image.begin()));
    EXPECT_EQ(image[15] & 0x0F, 0);
    EXPECT_EQ(image.back(), 0xF7);
    EXPECT_TRUE(std::all_of(image.begin() + 1, image.end() - 1, [](std::uint8_t b) { return b < 0x80; }));
    // Not a constant fill: the data must look like data.
    EXPECT_GT(
        std::count_if(image.begin() + 16, image.end() - 1, [&](std::uint8_t b) { return b != image[16]; }),
        50000);
}

TEST_F(FirmwareLoaderTest, FailedFileOperationsAskOkCancelAndBlankTheDetails) {
    loadGoodFile();
    const std::string earlierPath = loader.loadedPath;
    EXPECT_EQ(loader.ReadFile(utf8FromPath(dir.path() / "missing.syx")), kNotLoaded);
    expectRefused(kFileOperationText, Buttons::OkCancel);
    EXPECT_EQ(ui.messages[0].text, kFileOperationText);
    EXPECT_EQ(loader.loadedPath, earlierPath);  // never opened

    ui.messages.clear();
    EXPECT_EQ(loader.ReadFile(utf8FromPath(dir.path())), kNotLoaded);
    expectRefused(kFileOperationText, Buttons::OkCancel);
}

struct Refusal {
    const char* name;
    std::function<std::vector<std::uint8_t>()> bytes;
    const char* text;
};

std::vector<std::uint8_t> goodPacketFile() {
    FirmwareOptions options;
    options.packetCount = 5;
    options.packetDataLength = 100;
    return makeFirmware(options);
}

std::vector<std::uint8_t> goodSingleBlock() {
    FirmwareOptions options;
    options.format = FirmwareFormat::SingleBlock;
    options.blockLength = 400;
    return makeFirmware(options);
}

std::function<std::vector<std::uint8_t>()> edited(std::vector<std::uint8_t> (*make)(),
                                                  std::function<void(std::vector<std::uint8_t>&)> edit) {
    return [make, edit] {
        auto bytes = make();
        edit(bytes);
        return bytes;
    };
}

constexpr std::size_t kPacket3 = 37 + 3 * 137;

const Refusal kRefusals[] = {
    {"model byte not 12", edited(goodPacketFile, [](auto& b) { b[4] = 0x13; }),
     "Not a valid KALDO code file"},
    {"manufacturer not 00 00 5A", edited(goodSingleBlock, [](auto& b) { b[3] = 0x5B; }),
     "Not a valid KALDO code file"},
    {"wrong header and unknown type", edited(goodPacketFile, [](auto& b) { b[0] = 0xF1, b[6] = 0x20; }),
     "Not a valid KALDO code file"},
    {"three bytes of text",
     [] {
         return std::vector<std::uint8_t>{'a', 'b', 'c'};
     },
     "Not a valid KALDO code file"},
    {"empty", [] { return std::vector<std::uint8_t>{}; }, "too short"},
    {"no format type", [] { return std::vector<std::uint8_t>{0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01}; },
     "too short"},
    {"packet header cut", edited(goodPacketFile, [](auto& b) { b.resize(36); }), "too short"},
    {"single block ending at its flag", edited(goodSingleBlock, [](auto& b) { b.resize(16), b[15] = 0xF7; }),
     "too short"},
    {"format type 17", edited(goodPacketFile, [](auto& b) { b[6] = 0x17; }),
     "format type is 17, neither 16 nor 19"},
    {"format type 00", edited(goodSingleBlock, [](auto& b) { b[6] = 0x00; }), "neither 16 nor 19"},
    {"last packet cut short", edited(goodPacketFile, [](auto& b) { b.pop_back(); }),
     "announces 5 packets of 137 bytes"},
    {"count beyond the file", edited(goodPacketFile, [](auto& b) { tools::putNibbles(b, 7, 0xFFFFFFFF); }),
     "incomplete"},
    {"data length beyond the file",
     edited(goodPacketFile, [](auto& b) { tools::putNibbles(b, 15, 0x0FFFFFFF); }), "incomplete"},
    {"no packets", edited(goodPacketFile, [](auto& b) { tools::putNibbles(b, 7, 0); }), "no packets"},
    {"count nibble 10", edited(goodPacketFile, [](auto& b) { b[9] = 0x10; }), "byte 9 is 10"},
    {"shown size nibble 7F", edited(goodPacketFile, [](auto& b) { b[30] = 0x7F; }), "byte 30 is 7F"},
    {"header without its F7", edited(goodPacketFile, [](auto& b) { b[36] = 0x00; }), "the header message"},
    {"version byte with high bit", edited(goodPacketFile, [](auto& b) { b[32] = 0x85; }),
     "the header message is not a complete System Exclusive message (byte 32 is 85)"},
    {"packet 3 data byte with high bit", edited(goodPacketFile, [](auto& b) { b[kPacket3 + 50] = 0x80; }),
     "packet 3 is not a complete System Exclusive message"},
    {"packet 3 not opened by F0", edited(goodPacketFile, [](auto& b) { b[kPacket3] = 0x00; }), "packet 3"},
    {"packet 0 without its F7", edited(goodPacketFile, [](auto& b) { b[37 + 136] = 0x01; }), "packet 0"},
    {"last packet ending in F0", edited(goodPacketFile, [](auto& b) { b.back() = 0xF0; }), "packet 4"},
    {"single block with a status byte inside", edited(goodSingleBlock, [](auto& b) { b[200] = 0xF7; }),
     "the firmware block is not a complete System Exclusive message (byte 200 is F7)"},
    {"single block without its F7", edited(goodSingleBlock, [](auto& b) { b.back() = 0x7F; }),
     "the firmware block"},
    {"one byte over the buffer",
     [] {
         FirmwareOptions options;
         options.packetCount = 1;
         options.packetDataLength = FirmwareLoader::kImageBufferSize - 73;
         return makeFirmware(options);
     },
     "too large to be KALDO firmware (1048577 bytes; at most 1048576)"},
};

TEST_F(FirmwareLoaderTest, RefusesEveryFileUnfitToSendAndSaysWhy) {
    for (const Refusal& r : kRefusals) {
        SCOPED_TRACE(r.name);
        loadGoodFile();
        EXPECT_EQ(loader.ReadFile(write(r.bytes(), "bad.syx")), kNotLoaded);
        expectRefused(r.text);
    }
}

TEST_F(FirmwareLoaderTest, EveryRefusalPassesWhenTheFaultIsUndone) {
    // The refusals above come from their edits, not from the good files.
    EXPECT_EQ(loader.ReadFile(write(goodPacketFile())), kPacketFormat);
    EXPECT_EQ(loader.ReadFile(write(goodSingleBlock())), kSingleBlock);
}

}  // namespace
}  // namespace kaldo
