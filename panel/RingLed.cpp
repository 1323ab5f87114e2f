#include "RingLed.h"

#include <algorithm>

namespace kaldo {

void RingLed::collect(std::span<PanelControl* const> children, std::int32_t r) {
    for (PanelControl* control : children) {
        if (control->className() != "TLEDImage" || control->tag() != r) continue;
        auto* lamp = dynamic_cast<Lamp*>(control);
        if (!lamp) continue;
        lamps_.push_back(lamp);
        if (lamp->left() >= largestLeft) largestLeft = lamp->left();
        if (lamp->left() <= smallestLeft) smallestLeft = lamp->left();
    }
    const std::int32_t middle = (largestLeft + smallestLeft) / 2;
    for (Lamp* lamp : lamps_) {
        if (lamp->left() > middle) lamp->setTag(lamp->tag() | kRightHalf);
    }
    std::sort(lamps_.begin(), lamps_.end(), [](const Lamp* a, const Lamp* b) {
        if (a->tag() != b->tag()) return a->tag() < b->tag();
        if (a->tag() & kRightHalf) return a->top() < b->top();
        return a->top() > b->top();
    });
}

Lamp* RingLed::next() {
    if (cursor_ >= count()) return nullptr;
    return lamps_[static_cast<std::size_t>(cursor_++)];
}

void RingLed::allOff() {
    rewind();
    while (Lamp* lamp = next()) lamp->TurnOn(false);
}

void RingLed::lightOnly(int i) {
    allOff();
    if (i >= 0 && i < count()) lamp(i)->TurnOn(true);
}

}  // namespace kaldo
