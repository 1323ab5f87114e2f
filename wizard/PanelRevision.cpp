#include "PanelRevision.h"

#include <cstdint>

namespace kaldo {

namespace {
// Which character of revisionText each knob writes: the stompbox digit before the point.
constexpr std::array<std::size_t, 3> kDigitSlot{0, 2, 3};
}  // namespace

std::optional<PanelRevision::Place> PanelRevision::choose(Knob knob, int index) {
    if (index < 0) return std::nullopt;
    chosenIndex_[knob] = index;
    panelSelectionMask_ |= 1u << knob;
    // Entries past the tenth give ':', ';' and '<', which never match a real revision.
    revisionText_.resize(4, 'x');
    revisionText_[kDigitSlot[knob]] = static_cast<char>(static_cast<std::uint8_t>('0' + index));
    const Place ring = index < static_cast<int>(ledPositionTable.size()) ? ledPositionTable[index] : kRingCentre;
    if (complete()) FirmwareCalc();
    return Place{ring.left + kLeftOffset[knob], ring.top};
}

// All three digits are known: the text gets its point.
void PanelRevision::FirmwareCalc() { revisionText_[1] = '.'; }

}  // namespace kaldo
