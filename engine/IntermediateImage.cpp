#include "IntermediateImage.h"

#include <array>

namespace kaldo {
namespace {

// Made by the compiler, so the image needs no companion file and cannot differ between builds.
constexpr std::array<std::uint8_t, kIntermediateImageSize> makeImage() {
    std::array<std::uint8_t, kIntermediateImageSize> image{};
    constexpr std::array<std::uint8_t, 7> header{0xF0, 0x00, 0x00, 0x5A, 0x12, 0x01, 0x16};
    for (std::size_t i = 0; i < header.size(); ++i) image[i] = header[i];
    // The data bytes: a fixed linear congruential sequence cut to seven bits, so every byte between
    // F0 and F7 is a legal System Exclusive data byte.
    std::uint32_t state = 0x0139u;
    for (std::size_t i = header.size(); i + 1 < image.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        image[i] = static_cast<std::uint8_t>((state >> 24) & 0x7F);
    }
    image[15] = 0x00;  // encryption flag: plain
    image[image.size() - 1] = 0xF7;
    return image;
}

constexpr std::array<std::uint8_t, kIntermediateImageSize> kImage = makeImage();

}  // namespace

std::span<const std::uint8_t, kIntermediateImageSize> intermediateImage() {
    return kImage;
}

}  // namespace kaldo
