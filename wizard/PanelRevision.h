#pragma once
// The amp's firmware revision as the user reads it off the front panel: started with presets 1 and
// 4 held, the amp lights one LED on each of three rings (stompbox, amp, effect knob), and the
// position of that LED is one digit of the revision. Kept for the whole run of the program.
#include <array>
#include <optional>
#include <string>

namespace kaldo {

class PanelRevision {
public:
    enum Knob { Stomp = 0, Amp = 1, Effect = 2 };

    struct Place {
        int left;
        int top;
    };

    // Marker places (wizard window pixels) of the stompbox ring's LEDs, clockwise from the top; the
    // amp and effect rings are the same shifted right by their knob's offset.
    static constexpr std::array<Place, 12> ledPositionTable{{{134, 42}, {145, 42}, {154, 49}, {159, 58},
        {159, 68}, {154, 76}, {145, 82}, {135, 82}, {125, 76}, {120, 68}, {120, 57}, {125, 48}}};
    static constexpr std::array<int, 3> kLeftOffset{0, 87, 177};
    // The Amps and Effects lists end in an empty entry that stands for no LED at all; its marker
    // sits in the middle of the ring, where no LED is.
    static constexpr Place kRingCentre{140, 62};

    // The user picked entry index (0-based; -1 when text was typed) of the knob's list. Returns where
    // that knob's marker goes, or none when nothing was picked.
    std::optional<Place> choose(Knob knob, int index);

    // One digit, a point and two digits, built from the knobs alone; "x" for the digits not chosen
    // yet.
    const std::string& revisionText() const { return revisionText_; }
    // Bits 1, 2, 4: the stompbox, amp and effect lists have been chosen at least once.
    unsigned panelSelectionMask() const { return panelSelectionMask_; }
    bool complete() const { return panelSelectionMask_ == 7; }
    int chosenIndex(Knob knob) const { return chosenIndex_[knob]; }

private:
    void FirmwareCalc();

    std::string revisionText_ = "x.xx";
    unsigned panelSelectionMask_ = 0;
    std::array<int, 3> chosenIndex_{-1, -1, -1};
};

}  // namespace kaldo
