#pragma once
// The main window's 36 lamps and its panel picture as plain objects, in the window's child order,
// with the places and ring numbers the window is built with. Every lamp change is recorded.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Lamp.h"

namespace kaldo::test {

class FakeControl : public PanelControl {
public:
    FakeControl(std::string name, std::string className, int left, int top, std::int32_t tag)
        : name(std::move(name)), className_(std::move(className)), left_(left), top_(top), tag_(tag) {}
    std::string className() const override { return className_; }
    int left() const override { return left_; }
    int top() const override { return top_; }
    std::int32_t tag() const override { return tag_; }
    void setTag(std::int32_t tag) override { tag_ = tag; }

    const std::string name;

private:
    std::string className_;
    int left_;
    int top_;
    std::int32_t tag_;
};

class FakeLamp : public Lamp {
public:
    // Every visible change: a lamp switched on or off.
    struct Change {
        const FakeLamp* lamp;
        bool on;
    };

    FakeLamp(std::string name, int left, int top, std::int32_t tag, std::vector<Change>* changes)
        : name(std::move(name)), left_(left), top_(top), tag_(tag), changes_(changes) {}

    std::string className() const override { return "TLEDImage"; }
    int left() const override { return left_; }
    int top() const override { return top_; }
    std::int32_t tag() const override { return tag_; }
    void setTag(std::int32_t tag) override { tag_ = tag; }

    void TurnOn(bool on) override {
        if (on == on_) return;
        on_ = on;
        if (changes_) changes_->push_back({this, on});
    }
    void SetOnColor(LampColor color) override { onColor = color; }
    void MakeBright(bool b) override { bright = b; }

    bool isOn() const { return on_; }

    const std::string name;
    LampColor onColor = kLampRed;
    bool bright = false;

private:
    int left_;
    int top_;
    std::int32_t tag_;
    bool on_ = true;  // stored lit, as the window is built
    std::vector<Change>* changes_;
};

// The window's children: the panel picture (Tag 1, no lamp) and the 36 lamps.
struct FrontPanel {
    FrontPanel() {
        struct Place {
            const char* name;
            int left, top, ring;
        };
        // In the window's child order.
        static constexpr Place kChildren[] = {
            {"sLED1", 127, 171, 0},       {"LEDImage1", 105, 159, 0},   {"LEDImage3", 93, 137, 0},
            {"LEDImage4", 92, 112, 0},    {"LEDImage5", 105, 90, 0},    {"LEDImage6", 127, 78, 0},
            {"LEDImage7", 153, 172, 0},   {"LEDImage8", 175, 160, 0},   {"LEDImage9", 188, 138, 0},
            {"LEDImage10", 187, 111, 0},  {"LEDImage11", 174, 89, 0},   {"LEDImage12", 152, 77, 0},
            {"LEDImage2", 333, 172, 1},   {"LEDImage13", 312, 159, 1},  {"LEDImage14", 299, 137, 1},
            {"LEDImage15", 299, 112, 1},  {"LEDImage16", 312, 90, 1},   {"LEDImage17", 334, 78, 1},
            {"LEDImage18", 360, 172, 1},  {"LEDImage19", 383, 160, 1},  {"LEDImage21", 394, 112, 1},
            {"LEDImage22", 382, 90, 1},   {"LEDImage23", 359, 77, 1},   {"LEDImage24", 542, 172, 2},
            {"LEDImage25", 519, 159, 2},  {"LEDImage26", 507, 137, 2},  {"LEDImage27", 507, 112, 2},
            {"LEDImage28", 520, 90, 2},   {"LEDImage29", 541, 78, 2},   {"LEDImage30", 567, 172, 2},
            {"LEDImage31", 590, 159, 2},  {"LEDImage32", 601, 138, 2},  {"LEDImage33", 601, 112, 2},
            {"LEDImage34", 589, 90, 2},   {"LEDImage35", 567, 77, 2},   {"LEDImage20", 394, 137, 1},
        };
        picture = std::make_unique<FakeControl>("Image1", "TImage", 0, 0, 1);
        children.push_back(picture.get());
        for (const Place& s : kChildren) {
            lamps.push_back(std::make_unique<FakeLamp>(s.name, s.left, s.top, s.ring, &changes));
            children.push_back(lamps.back().get());
        }
    }

    std::unique_ptr<FakeControl> picture;
    std::vector<std::unique_ptr<FakeLamp>> lamps;
    std::vector<PanelControl*> children;
    std::vector<FakeLamp::Change> changes;
};

}  // namespace kaldo::test
