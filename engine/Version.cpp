#include "Version.h"

namespace kaldo {

std::string versionText(PackedVersion v) {
    auto digit = [v](int shift) { return static_cast<char>('0' + ((v >> shift) & 0xFF)); };
    return {digit(24), digit(16), '.', digit(8), digit(0)};
}

}  // namespace kaldo
