#pragma once
// What the rings need of the window's controls and of its lamps. The desktop program implements
// these on its widgets (the lamp widget TLEDImage); the tests implement them on plain objects.
#include <cstdint>
#include <string>

namespace kaldo {

// Colours as 24-bit values, blue in the most significant byte, red in the least.
using LampColor = std::uint32_t;
inline constexpr LampColor kLampRed = 0x0000FF;
inline constexpr LampColor kLampGreen = 0x008000;

// A direct child control of the main window, as the ring collection sees it.
class PanelControl {
public:
    virtual ~PanelControl() = default;

    // The control's class name; only "TLEDImage" controls are lamps.
    virtual std::string className() const = 0;
    // Left and Top in window pixels.
    virtual int left() const = 0;
    virtual int top() const = 0;
    // Tag, the framework's free integer field of every control: a lamp's ring number, marked on the
    // ring's right half with 0x70000000 once the ring has been collected.
    virtual std::int32_t tag() const = 0;
    virtual void setTag(std::int32_t tag) = 0;
};

// One lamp of a ring.
class Lamp : public PanelControl {
public:
    // Lit in the on colour, or gray; a lamp already in the asked state is not repainted.
    virtual void TurnOn(bool on) = 0;
    virtual void SetOnColor(LampColor color) = 0;
    virtual void MakeBright(bool bright) = 0;
};

}  // namespace kaldo
