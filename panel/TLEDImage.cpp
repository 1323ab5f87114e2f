#include "TLEDImage.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <string>
#include <vector>

namespace kaldo {

namespace {

constexpr int kLampSize = 13;
constexpr QRgb kTransparentColor = 0xFFC0C0C0;  // silver

std::uint32_t monotonicTicks() {
    static QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<std::uint32_t>(started.elapsed());
}

// Loads one lamp bitmap and leaves out its silver corners: only silver reached from the edge, so the
// silver dots inside the gray lamp stay.
QPixmap* loadLampBitmap(const char* name) {
    QImage image = QImage(QString(":/%1.bmp").arg(name)).convertToFormat(QImage::Format_ARGB32);
    if (!image.isNull()) {
        std::vector<QPoint> todo;
        for (int i = 0; i < image.width(); ++i) todo.insert(todo.end(), {{i, 0}, {i, image.height() - 1}});
        for (int i = 0; i < image.height(); ++i) todo.insert(todo.end(), {{0, i}, {image.width() - 1, i}});
        while (!todo.empty()) {
            const QPoint pt = todo.back();
            todo.pop_back();
            if (!image.rect().contains(pt) || image.pixel(pt) != kTransparentColor) continue;
            image.setPixel(pt, qRgba(0, 0, 0, 0));
            todo.insert(todo.end(), {pt + QPoint(1, 0), pt - QPoint(1, 0), pt + QPoint(0, 1), pt - QPoint(0, 1)});
        }
    }
    // An unreadable resource leaves the bitmap empty: a lamp of that colour then shows nothing.
    return new QPixmap(QPixmap::fromImage(image));
}

}  // namespace

std::function<std::uint32_t()> TLEDImage::tickSource = monotonicTicks;

TLEDImage::TLEDImage(QWidget* owner) : QWidget(owner) {
    resize(kLampSize, kLampSize);  // auto-size: the size of its bitmap
    if (InstanceCount == 0) loadBitmaps();
    ++InstanceCount;
}

TLEDImage::~TLEDImage() {
    if (--InstanceCount == 0) releaseBitmaps();
}

std::array<QPixmap**, 7> TLEDImage::sharedBitmaps() {
    return {&LedGray, &LedRed, &LedGreen, &LedYellow, &LedBrightRed, &LedBrightGreen, &LedBrightYellow};
}

void TLEDImage::loadBitmaps() {
    static constexpr std::array<const char*, 7> kNames{"LED_GRAY",   "LED_RED",    "LED_GRE",   "LED_YEL",
                                                       "LED_BRIRED", "LED_BRIGRE", "LED_BRIYEL"};
    const auto shared = sharedBitmaps();
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        *shared[i] = loadLampBitmap(kNames[i]);
        FineBitmaps[i] = loadLampBitmap((std::string(kNames[i]) + "@2x").c_str());
    }
}

void TLEDImage::releaseBitmaps() {
    const auto shared = sharedBitmaps();
    for (std::size_t i = 0; i < shared.size(); ++i) {
        delete *shared[i];
        *shared[i] = nullptr;
        delete FineBitmaps[i];
        FineBitmaps[i] = nullptr;
    }
}

void TLEDImage::showBitmap(const QPixmap* shared) {
    picture_ = *shared;
    const auto bitmaps = sharedBitmaps();
    fine_ = nullptr;
    for (std::size_t i = 0; i < bitmaps.size(); ++i)
        if (*bitmaps[i] == shared) fine_ = FineBitmaps[i];
}

bool TLEDImage::isLampColor(TColor c) { return c == clRed || c == clGreen || c == clYellow || c == clGray; }

const QPixmap* TLEDImage::normalBitmap(TColor c) {
    switch (c) {
        case clRed: return LedRed;
        case clGreen: return LedGreen;
        case clYellow: return LedYellow;
        default: return LedGray;
    }
}

const QPixmap* TLEDImage::brightBitmap(TColor c) {
    switch (c) {
        case clRed: return LedBrightRed;
        case clGreen: return LedBrightGreen;
        case clYellow: return LedBrightYellow;
        default: return nullptr;
    }
}

void TLEDImage::SetColor(TColor c) {
    if (!isLampColor(c)) return;
    if (c == color_ && !picture_.isNull()) return;
    color_ = c;
    showBitmap(normalBitmap(c));
    repaint();
}

void TLEDImage::SetOnColor(TColor c) {
    if (isLampColor(c)) onColor_ = c;
}

void TLEDImage::SetOffColor(TColor c) {
    if (isLampColor(c)) offColor_ = c;
}

void TLEDImage::TurnOn(bool on) {
    if (on) lastOnTime_ = static_cast<std::int32_t>(tickSource());
    ledOn_ = on;
    SetColor(on ? onColor_ : offColor_);
}

void TLEDImage::MakeBright(bool bright) {
    brightness_ = bright;
    if (color_ != clGray) showBitmap(bright ? brightBitmap(color_) : normalBitmap(color_));
    repaint();
}

bool TLEDImage::ShouldExtinguish() {
    // Elapsed time in the tick counter's own modular arithmetic, so that neither its sign change after
    // 2^31 ms nor its wrap-around after 2^32 ms makes a freshly lit lamp look ancient.
    const std::uint32_t elapsed = tickSource() - static_cast<std::uint32_t>(lastOnTime_);
    const bool expired = static_cast<std::int64_t>(elapsed) > ExtinguishTimeout;
    if (expired) TurnOn(false);
    return expired;
}

void TLEDImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter painter(this);
    // A screen with more than one pixel to each of ours gets the lamp drawn for it; nearest-pixel
    // scaling keeps either bitmap crisp.
    const bool fine = painter.paintEngine()->paintDevice()->devicePixelRatioF() > 1 && fine_ && !fine_->isNull();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawPixmap(QRect(0, 0, kLampSize, kLampSize), fine ? *fine_ : picture_);
}

}  // namespace kaldo
