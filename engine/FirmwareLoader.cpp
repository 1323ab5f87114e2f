#include "FirmwareLoader.h"

#include <filesystem>
#include <fstream>

#include "IntermediateImage.h"
#include "SharedFlags.h"
#include "Utf8.h"

namespace kaldo {
namespace {

constexpr std::array<std::uint8_t, 5> kKaldoHeader{0xF0, 0x00, 0x00, 0x5A, 0x12};
constexpr std::size_t kFormatOffset = 6;
constexpr std::size_t kSingleBlockFlagOffset = 15;
constexpr std::size_t kPacketCountOffset = 7;
constexpr std::size_t kPacketDataLengthOffset = 15;
constexpr std::size_t kShownSizeOffset = 23;
constexpr std::size_t kVersionOffset = 31;
constexpr std::size_t kPacketFlagOffset = 35;
// The single-block flag must be a data byte of the message, so its F7 comes after it.
constexpr std::size_t kSingleBlockMinimum = kSingleBlockFlagOffset + 2;

const char* const kFileOperationText =
    "Can't perform one of the following file operations: Open, Seek, Read, Close.";
const char* const kNotKaldoText = "Not a valid KALDO code file";
const char* const kFileErrorCaption = "File Error";

std::string hexByte(std::uint8_t b) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return {kHex[b >> 4], kHex[b & 0x0F]};
}

// A 32-bit value spread over eight bytes of four bits each, least significant first. Bytes above 15
// are refused before this is called.
std::uint32_t nibbleValue(const std::uint8_t* p) {
    std::uint32_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 4) | p[i];
    return value;
}

// Empty when message is one System Exclusive message (F0, seven-bit data bytes, F7); otherwise what
// is wrong with it, naming its offset in the file.
std::optional<std::string> framingFault(const std::uint8_t* message, std::size_t length,
                                        std::size_t fileOffset, const std::string& what) {
    const auto fault = [&](std::size_t i) {
        return "The file is damaged: " + what + " is not a complete System Exclusive message (byte " +
               std::to_string(fileOffset + i) + " is " + hexByte(message[i]) + ").";
    };
    if (message[0] != 0xF0) return fault(0);
    // Every byte of a 1 MiB file passes here: an OR over the data vectorises, a search with an early
    // exit does not, so search only once the OR has found a high bit.
    std::uint8_t bits = 0;
    for (std::size_t i = 1; i + 1 < length; ++i) bits |= message[i];
    if (bits & 0x80) {
        for (std::size_t i = 1; i + 1 < length; ++i) {
            if (message[i] > 0x7F) return fault(i);
        }
    }
    if (message[length - 1] != 0xF7) return fault(length - 1);
    return std::nullopt;
}

std::string tooShortText(std::size_t size) {
    return "The file is too short to be KALDO firmware (" + std::to_string(size) + " bytes).";
}

}  // namespace

FirmwareLoader::FirmwareLoader(UpdaterUi& ui, const SharedFlags& flags)
    : ui_(ui), flags_(flags), imageBuffer_(std::make_unique<std::array<std::uint8_t, kImageBufferSize>>()) {}

int FirmwareLoader::ReadFile(const std::string& path) {
    const bool intermediate = flags_.intermediateStage;
    if (intermediate) {
        const auto carried = intermediateImage();
        image_ = carried.data();
        imageSize_ = carried.size();
        sendLength = carried.size();
    } else if (const auto refusal = readFromDisk(path)) {
        return refuse(*refusal);
    }
    sendPointer = 0;
    if (const auto fault = checkImage()) return refuse(Refusal{*fault});
    record();
    show(intermediate, path);
    return loadResult;
}

std::optional<FirmwareLoader::Refusal> FirmwareLoader::readFromDisk(const std::string& path) {
    const Refusal fileOperation{kFileOperationText, Buttons::OkCancel};
    image_ = imageBuffer_->data();
    imageSize_ = 0;
    sendLength = 0;
    const std::filesystem::path filePath = pathFromUtf8(path);
    std::error_code ec;
    // A folder opens like a file on some systems, then has no size to read.
    if (std::filesystem::is_directory(filePath, ec)) return fileOperation;
    std::ifstream file(filePath, std::ios::binary);
    if (!file) return fileOperation;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (!file || size < 0) return fileOperation;
    loadedPath = path;
    // Checked before reading: nothing may be written past the buffer.
    if (static_cast<std::uintmax_t>(size) > kImageBufferSize) {
        return Refusal{"The file is too large to be KALDO firmware (" + std::to_string(size) +
                       " bytes; at most " + std::to_string(kImageBufferSize) + ")."};
    }
    file.read(reinterpret_cast<char*>(imageBuffer_->data()), size);
    if (!file || file.gcount() != size) return fileOperation;
    sendLength = static_cast<std::size_t>(size);
    imageSize_ = sendLength;
    return std::nullopt;
}

std::optional<std::string> FirmwareLoader::checkImage() const {
    const std::size_t size = imageSize_;
    for (std::size_t i = 0; i < kKaldoHeader.size() && i < size; ++i) {
        if (image_[i] != kKaldoHeader[i]) return kNotKaldoText;
    }
    if (size <= kFormatOffset) return tooShortText(size);
    switch (image_[kFormatOffset]) {
        case kFormatSingleBlock:
            if (size < kSingleBlockMinimum) return tooShortText(size);
            return framingFault(image_, size, 0, "the firmware block");
        case kFormatPacket:
            return checkPacketFormat();
        default:
            return "Unknown firmware format: the file's format type is " + hexByte(image_[kFormatOffset]) +
                   ", neither 16 nor 19.";
    }
}

std::optional<std::string> FirmwareLoader::checkPacketFormat() const {
    const std::size_t size = imageSize_;
    if (size < kHeaderLength) return tooShortText(size);
    if (auto fault = framingFault(image_, kHeaderLength, 0, "the header message")) return fault;
    for (std::size_t i = kPacketCountOffset; i < kVersionOffset; ++i) {
        if (image_[i] > 0x0F) {
            return "The file's header is damaged: byte " + std::to_string(i) + " is " + hexByte(image_[i]) +
                   " where a value from 00 to 0F belongs.";
        }
    }
    const std::uint64_t count = nibbleValue(image_ + kPacketCountOffset);
    const std::uint64_t length = nibbleValue(image_ + kPacketDataLengthOffset) + kHeaderLength;
    // An upload of no packets would only send a header and wait for a verify that cannot come.
    if (count == 0) return std::string("The file holds no packets: its header announces 0.");
    const std::uint64_t needed = kHeaderLength + count * length;
    if (needed > size) {
        return "The file is incomplete: its header announces " + std::to_string(count) + " packets of " +
               std::to_string(length) + " bytes (" + std::to_string(needed) +
               " bytes in all), but the file holds " + std::to_string(size) + ".";
    }
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::size_t offset = kHeaderLength + k * length;
        if (auto fault = framingFault(image_ + offset, length, offset, "packet " + std::to_string(k)))
            return fault;
    }
    return std::nullopt;
}

void FirmwareLoader::record() {
    if (image_[kFormatOffset] == kFormatPacket) {
        const std::uint8_t* v = image_ + kVersionOffset;
        fileVersion = PackedVersion{v[0] & 0x0Fu} << 24 | PackedVersion{v[1] & 0x0Fu} << 16 |
                      PackedVersion{v[2] & 0x0Fu} << 8 | PackedVersion{v[3] & 0x0Fu};
        fileVersionUnmasked =
            PackedVersion{v[0]} << 24 | PackedVersion{v[1]} << 16 | PackedVersion{v[2]} << 8 | v[3];
        versionText = kaldo::versionText(fileVersion);
        encryptionFlag = image_[kPacketFlagOffset];
        // Both fit an int: the file holding them all is at most 1 MiB.
        packetCount = static_cast<int>(nibbleValue(image_ + kPacketCountOffset));
        packetDataLength = static_cast<int>(nibbleValue(image_ + kPacketDataLengthOffset));
        shownSize = nibbleValue(image_ + kShownSizeOffset);
        loadResult = kPacketFormat;
    } else {
        fileVersion = 1;
        versionText = "Old  ";
        encryptionFlag = image_[kSingleBlockFlagOffset];
        shownSize = static_cast<std::uint32_t>(sendLength);
        loadResult = kSingleBlock;
    }
}

void FirmwareLoader::show(bool intermediate, const std::string& path) {
    if (intermediate) {
        ui_.setStatus1(2, "Internal");
        ui_.setStatus1(1, "Version 1.39");
    } else {
        ui_.setStatus1(2, "File Name: " + fileNameOf(path));
        ui_.setStatus1(1, "Version " + versionText);
    }
    ui_.setStatus1(3, "File Size: " + std::to_string(shownSize) + " Bytes");
    ui_.setStatus1(4, encrypted() ? "Encrypted" : " ");
}

int FirmwareLoader::refuse(const Refusal& refusal) {
    ui_.messageBox(refusal.text, kFileErrorCaption, refusal.buttons);
    // Details of an earlier file would suggest it is still loaded.
    for (int panel = 1; panel <= 4; ++panel) ui_.setStatus1(panel, " ");
    loadResult = kNotLoaded;
    return loadResult;
}

}  // namespace kaldo
