#pragma once
// Where the 36 lamps of the front panel stand (window pixels, 13 x 13 each) and which ring each belongs
// to, in the main window's child order. The artwork generator draws the lamp sockets from this table,
// so the picture and the lamps always line up.
#include <array>

namespace kaldo {

struct LampPlace {
    const char* name;
    int left;
    int top;
    int tag;  // ring number
};

inline constexpr int kLampCount = 36;

inline constexpr std::array<LampPlace, kLampCount> kLampLayout{{
    {"sLED1", 127, 171, 0},      {"LEDImage1", 105, 159, 0},  {"LEDImage3", 93, 137, 0},
    {"LEDImage4", 92, 112, 0},   {"LEDImage5", 105, 90, 0},   {"LEDImage6", 127, 78, 0},
    {"LEDImage7", 153, 172, 0},  {"LEDImage8", 175, 160, 0},  {"LEDImage9", 188, 138, 0},
    {"LEDImage10", 187, 111, 0}, {"LEDImage11", 174, 89, 0},  {"LEDImage12", 152, 77, 0},
    {"LEDImage2", 333, 172, 1},  {"LEDImage13", 312, 159, 1}, {"LEDImage14", 299, 137, 1},
    {"LEDImage15", 299, 112, 1}, {"LEDImage16", 312, 90, 1},  {"LEDImage17", 334, 78, 1},
    {"LEDImage18", 360, 172, 1}, {"LEDImage19", 383, 160, 1}, {"LEDImage21", 394, 112, 1},
    {"LEDImage22", 382, 90, 1},  {"LEDImage23", 359, 77, 1},  {"LEDImage24", 542, 172, 2},
    {"LEDImage25", 519, 159, 2}, {"LEDImage26", 507, 137, 2}, {"LEDImage27", 507, 112, 2},
    {"LEDImage28", 520, 90, 2},  {"LEDImage29", 541, 78, 2},  {"LEDImage30", 567, 172, 2},
    {"LEDImage31", 590, 159, 2}, {"LEDImage32", 601, 138, 2}, {"LEDImage33", 601, 112, 2},
    {"LEDImage34", 589, 90, 2},  {"LEDImage35", 567, 77, 2},  {"LEDImage20", 394, 137, 1},
}};

}  // namespace kaldo
