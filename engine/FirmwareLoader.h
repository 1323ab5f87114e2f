#pragma once
// The firmware file (".syx") and its loader ReadFile: reads a file (or the carried intermediate
// image) whole, checks that every byte is fit to be sent to the amp, records what the upload needs
// and shows the file's details in the upper status row.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "UpdaterUi.h"
#include "Version.h"

namespace kaldo {

struct SharedFlags;

enum LoadResult : int { kNotLoaded = 0, kSingleBlock = 1, kPacketFormat = 2 };

class FirmwareLoader {
public:
    static constexpr std::size_t kImageBufferSize = 1048576;
    static constexpr std::size_t kHeaderLength = 37;
    static constexpr int kFormatSingleBlock = 0x16;
    static constexpr int kFormatPacket = 0x19;

    FirmwareLoader(UpdaterUi& ui, const SharedFlags& flags);

    // Loads path, or the intermediate image when the shared intermediateStage flag is set; returns
    // and stores the new loadResult. A refused file leaves loadResult 0, says why in a message box
    // and blanks panels 1 to 4 of the upper status row.
    int ReadFile(const std::string& path);

    // The loaded image: the file's bytes, or the carried intermediate image.
    const std::uint8_t* image() const { return image_; }
    std::size_t imageSize() const { return imageSize_; }

    int loadResult = kNotLoaded;
    // Offset into image() of the block to send next, and its length.
    std::size_t sendPointer = 0;
    std::size_t sendLength = 0;
    // Full path of the last file read from disk, any length; the intermediate image leaves it alone.
    std::string loadedPath;
    int packetCount = 0;
    int packetDataLength = 0;
    PackedVersion fileVersion = 0;
    PackedVersion fileVersionUnmasked = 0;
    std::string versionText;
    int encryptionFlag = 0;  // the raw flag byte
    std::uint32_t shownSize = 0;

    bool encrypted() const { return (encryptionFlag & 0x0F) == 1; }

private:
    struct Refusal {
        std::string text;
        Buttons buttons = Buttons::Ok;
    };

    std::optional<Refusal> readFromDisk(const std::string& path);
    std::optional<std::string> checkImage() const;
    std::optional<std::string> checkPacketFormat() const;
    void record();
    void show(bool intermediate, const std::string& path);
    int refuse(const Refusal& refusal);

    UpdaterUi& ui_;
    const SharedFlags& flags_;
    std::unique_ptr<std::array<std::uint8_t, kImageBufferSize>> imageBuffer_;
    const std::uint8_t* image_ = nullptr;
    std::size_t imageSize_ = 0;
};

}  // namespace kaldo
