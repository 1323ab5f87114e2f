#pragma once
// One ring of twelve lamps around a rotary control of the front panel (RingLed). The ring only
// refers to its lamps; they belong to the window. Its order is worked out from the lamps' places.
#include <cstdint>
#include <span>
#include <vector>

#include "Lamp.h"

namespace kaldo {

class RingLed {
public:
    // Marks a lamp on the right half of its ring, in its Tag.
    static constexpr std::int32_t kRightHalf = 0x70000000;

    // Fills the ring with the "TLEDImage" controls among children (the window's direct children, in
    // child order) whose Tag is r, marks its right half and sorts it into ring order: up the left
    // side from the bottom, then down the right side from the top.
    void collect(std::span<PanelControl* const> children, std::int32_t r);

    int count() const { return static_cast<int>(lamps_.size()); }
    Lamp* lamp(int i) const { return lamps_[static_cast<std::size_t>(i)]; }

    // A walk over the ring: one at a time, never across a message pump.
    void rewind() { cursor_ = 0; }
    Lamp* next();

    void allOff();
    // allOff, then lamp i on; an index outside the ring only switches it off.
    void lightOnly(int i);

    std::int32_t largestLeft = 0;
    std::int32_t smallestLeft = 3453456;  // above any real Left

private:
    std::vector<Lamp*> lamps_;
    int cursor_ = 0;
};

}  // namespace kaldo
