#pragma once
// One lamp of the front panel: a 13 x 13 picture that shows one of seven shared lamp bitmaps (gray, and
// red, green and yellow in a normal and a bright version), drawn with its silver corners left out so
// the panel shows through. On a high-DPI screen it draws the same lamp from a bitmap twice as fine.
// Knows nothing of rings or uploads.
#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "Lamp.h"

namespace kaldo {

// A framework colour value, 0x00BBGGRR.
using TColor = LampColor;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clGray = 0x808080;

class TLEDImage : public QWidget, public Lamp {
    Q_OBJECT

public:
    explicit TLEDImage(QWidget* owner);
    ~TLEDImage() override;

    // The published properties, read as stored.
    TColor Color() const { return color_; }
    bool LEDOn() const { return ledOn_; }
    TColor OnColor() const { return onColor_; }
    TColor OffColor() const { return offColor_; }
    bool Brightness() const { return brightness_; }
    std::int32_t ExtinguishTimeout = 0;
    // The framework's free integer of every control; the rings keep their number (and a mark) here.
    std::int32_t Tag = 0;

    void SetColor(TColor c);
    void SetOnColor(TColor c) override;
    void SetOffColor(TColor c);
    void TurnOn(bool on) override;
    void MakeBright(bool bright) override;
    bool ShouldExtinguish();

    // As the rings see a control of the window.
    std::string className() const override { return "TLEDImage"; }
    int left() const override { return x(); }
    int top() const override { return y(); }
    std::int32_t tag() const override { return Tag; }
    void setTag(std::int32_t tag) override { Tag = tag; }

    // What the lamp shows now: a copy of one shared bitmap, or an empty picture; and that bitmap's
    // fine version (none while the picture is empty).
    const QPixmap& picture() const { return picture_; }
    const QPixmap* finePicture() const { return fine_; }
    std::int32_t lastOnTime() const { return lastOnTime_; }

    // The shared bitmaps, loaded with the first lamp and released with the last.
    static inline QPixmap* LedGray = nullptr;
    static inline QPixmap* LedRed = nullptr;
    static inline QPixmap* LedGreen = nullptr;
    static inline QPixmap* LedYellow = nullptr;
    static inline QPixmap* LedBrightRed = nullptr;
    static inline QPixmap* LedBrightGreen = nullptr;
    static inline QPixmap* LedBrightYellow = nullptr;
    static inline int InstanceCount = 0;
    // The seven drawn at 26 x 26, in the order gray, red, green, yellow, bright red, bright green,
    // bright yellow; loaded and released with them.
    static inline std::array<QPixmap*, 7> FineBitmaps{};

    // The system tick count in milliseconds (wrapping at 2^32). Replaceable so that tests can step
    // time instead of sleeping; the default reads the monotonic clock.
    static std::function<std::uint32_t()> tickSource;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    static bool isLampColor(TColor c);
    static const QPixmap* normalBitmap(TColor c);
    static const QPixmap* brightBitmap(TColor c);
    static void loadBitmaps();
    static void releaseBitmaps();
    static std::array<QPixmap**, 7> sharedBitmaps();
    // Shows a copy of one shared bitmap, and remembers its fine version.
    void showBitmap(const QPixmap* shared);

    TColor color_ = clGray;
    bool ledOn_ = false;
    TColor onColor_ = clRed;
    TColor offColor_ = clGray;
    std::int32_t lastOnTime_ = 0;
    bool brightness_ = false;
    QPixmap picture_;
    const QPixmap* fine_ = nullptr;
};

}  // namespace kaldo
