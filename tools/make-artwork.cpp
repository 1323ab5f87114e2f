// Draws every picture of the desktop program and writes it into resources/: the window pictures as
// JPEG (through libjpeg, at twice their size on screen so they stay sharp on high-DPI screens) and the
// seven 13 x 13 lamp bitmaps as 16-colour BMP, each also drawn at 26 x 26 for high-DPI screens
// ("LED_RED@2x.bmp"), and the program's icon (PNG in every size, and SVG) into icons/. Rerun it after
// changing a drawing:
//   build/default/bin/make-artwork resources
#include <cstdio>  // jpeglib.h needs FILE first
#include <jpeglib.h>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LampLayout.h"

namespace {

constexpr int kScale = 2;  // pictures are drawn at twice their logical size
constexpr int kQuality = 82;

bool writeJpeg(const QImage& source, const std::filesystem::path& path) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(image.width());
    cinfo.image_height = static_cast<JDIMENSION>(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

// ---- lamp bitmaps ---------------------------------------------------------------------------------

// The standard 16-colour palette, as the lamp bitmaps index it.
constexpr std::array<std::uint32_t, 16> kPalette{
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
    0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
enum Pal : std::uint8_t { kBlack = 0, kMaroon = 1, kGreen = 2, kOlive = 3, kGray = 7, kSilver = 8,
                          kRed = 9, kLime = 10, kYellow = 11, kWhite = 15 };

constexpr int kLampSize = 13;
template <std::size_t N>
using LampGrid = std::array<std::array<std::uint8_t, N>, N>;
using LampPixels = LampGrid<kLampSize>;

// A round lamp: silver corners (left out when drawn), a black rim, a white highlight toward the upper
// left, and a checkerboard of the two given colours inside (the same colour twice for a bright lamp).
LampPixels drawLamp(std::uint8_t full, std::uint8_t dark) {
    LampPixels p{};
    for (int y = 0; y < kLampSize; ++y) {
        for (int x = 0; x < kLampSize; ++x) {
            const double d = std::hypot(x - 6.0, y - 6.0);
            if (d > 6.4) {
                p[y][x] = kSilver;
            } else if (d > 4.9) {
                p[y][x] = kBlack;
            } else {
                p[y][x] = ((x + y) % 2 == 0) ? full : dark;
            }
        }
    }
    p[3][4] = p[3][5] = p[4][3] = p[4][4] = p[5][3] = kWhite;
    return p;
}

// The same lamp drawn on a grid twice as fine, for high-DPI screens: a round rim instead of a stepped
// one, a soft highlight, and the dither at the screen's own pixels.
LampGrid<2 * kLampSize> drawFineLamp(std::uint8_t full, std::uint8_t dark) {
    constexpr int kFine = 2 * kLampSize;  // 26
    constexpr double kCentre = (kFine - 1) / 2.0;
    LampGrid<kFine> p{};
    for (int y = 0; y < kFine; ++y) {
        for (int x = 0; x < kFine; ++x) {
            const double d = std::hypot(x - kCentre, y - kCentre);
            if (d > 12.6) {
                p[y][x] = kSilver;
            } else if (d > 10.0) {
                p[y][x] = kBlack;
            } else if (std::hypot(x - 8.0, y - 8.0) < 2.6) {
                p[y][x] = kWhite;
            } else {
                p[y][x] = ((x + y) % 2 == 0) ? full : dark;
            }
        }
    }
    return p;
}

template <std::size_t N>
bool writeBmp4(const LampGrid<N>& pixels, const std::filesystem::path& path) {
    constexpr int kRowBytes = (N * 4 + 31) / 32 * 4;  // 4 bits a pixel, rows padded to 4 bytes
    constexpr std::uint32_t kDataOffset = 14 + 40 + 16 * 4;
    constexpr std::uint32_t kDataSize = kRowBytes * N;
    std::vector<std::uint8_t> out;
    auto u16 = [&](std::uint32_t v) { out.push_back(v & 0xFF); out.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    out.push_back('B');
    out.push_back('M');
    u32(kDataOffset + kDataSize);
    u32(0);
    u32(kDataOffset);
    u32(40);
    u32(N);
    u32(N);
    u16(1);
    u16(4);
    u32(0);
    u32(kDataSize);
    u32(2835);
    u32(2835);
    u32(16);
    u32(0);
    for (std::uint32_t rgb : kPalette) {
        out.push_back(rgb & 0xFF);
        out.push_back((rgb >> 8) & 0xFF);
        out.push_back((rgb >> 16) & 0xFF);
        out.push_back(0);
    }
    for (int y = static_cast<int>(N) - 1; y >= 0; --y) {  // bottom-up rows
        std::array<std::uint8_t, kRowBytes> row{};
        for (std::size_t x = 0; x < N; ++x) row[x / 2] |= (x % 2 == 0) ? pixels[y][x] << 4 : pixels[y][x];
        out.insert(out.end(), row.begin(), row.end());
    }
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

// ---- drawing helpers ------------------------------------------------------------------------------

QFont font(int pixelSize, bool bold, bool condensed = false) {
    QFont f(condensed ? "DejaVu Sans Condensed" : "DejaVu Sans");
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void drawKnob(QPainter& p, QPointF c, double r) {
    // skirt, knurled cap, pointer
    QRadialGradient skirt(c + QPointF(-r * 0.3, -r * 0.3), r * 1.3);
    skirt.setColorAt(0, QColor(90, 90, 95));
    skirt.setColorAt(1, QColor(15, 15, 18));
    p.setPen(QPen(QColor(5, 5, 5), 1.2));
    p.setBrush(skirt);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(60, 60, 64), 1.0));
    for (int i = 0; i < 36; ++i) {
        const double a = i * M_PI / 18;
        p.drawLine(c + QPointF(std::cos(a), std::sin(a)) * r * 0.78, c + QPointF(std::cos(a), std::sin(a)) * r * 0.96);
    }
    QRadialGradient cap(c + QPointF(-r * 0.25, -r * 0.3), r * 0.9);
    cap.setColorAt(0, QColor(200, 200, 205));
    cap.setColorAt(0.6, QColor(120, 120, 128));
    cap.setColorAt(1, QColor(55, 55, 60));
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(cap);
    p.drawEllipse(c, r * 0.68, r * 0.68);
    p.setPen(QPen(QColor(245, 245, 245), r * 0.09, Qt::SolidLine, Qt::RoundCap));
    const QPointF dir(std::cos(-M_PI / 2 - 0.6), std::sin(-M_PI / 2 - 0.6));
    p.drawLine(c + dir * r * 0.15, c + dir * r * 0.62);
}

void drawJack(QPainter& p, QPointF c, double r) {
    p.setPen(QPen(QColor(20, 20, 20), 1));
    QRadialGradient nut(c + QPointF(-r * 0.3, -r * 0.3), r * 1.2);
    nut.setColorAt(0, QColor(235, 235, 235));
    nut.setColorAt(1, QColor(110, 110, 115));
    p.setBrush(nut);
    QPolygonF hex;
    for (int i = 0; i < 6; ++i) hex << c + QPointF(std::cos(i * M_PI / 3), std::sin(i * M_PI / 3)) * r;
    p.drawPolygon(hex);
    p.setBrush(QColor(10, 10, 10));
    p.drawEllipse(c, r * 0.45, r * 0.45);
}

void drawLabel(QPainter& p, QPointF centre, const QString& text, int px, QColor colour = QColor(225, 225, 225)) {
    p.setFont(font(px, true, true));
    p.setPen(colour);
    p.drawText(QRectF(centre.x() - 80, centre.y() - px, 160, px * 2), Qt::AlignCenter, text);
}

void drawBrushedPanel(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(58, 58, 62));
    g.setColorAt(0.5, QColor(40, 40, 44));
    g.setColorAt(1, QColor(28, 28, 31));
    p.fillRect(r, g);
    // fine horizontal brushing
    for (int y = static_cast<int>(r.top()); y < r.bottom(); y += 2) {
        p.setPen(QColor(255, 255, 255, (y * 37 % 11) + 2));
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
}

// ---- front panel ----------------------------------------------------------------------------------

// Ring centres of the three encoders, from the lamp positions of the main window (lamps are 13 x 13).
constexpr std::array<QPointF, 3> kEncoders{QPointF(146.5, 130.5), QPointF(353.0, 131.0), QPointF(560.5, 131.0)};
// Image1 stands one pixel above the client area, so window y is picture y - 1.
constexpr double kPictureTop = -1.0;

QImage frontPanel() {
    QImage img(700 * kScale, 284 * kScale, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(kScale, kScale);
    p.translate(0, -kPictureTop);
    // Tolex surround and the metal face
    p.fillRect(QRectF(0, -1, 700, 284), QColor(18, 17, 16));
    for (int i = 0; i < 4000; ++i) {  // tolex grain, deterministic
        const int x = (i * 7919) % 700, y = ((i * 104729) % 284) - 1;
        p.setPen(QColor(40, 38, 35));
        p.drawPoint(x, y);
    }
    QPainterPath face;
    face.addRoundedRect(QRectF(10, 30, 680, 228), 10, 10);
    p.save();
    p.setClipPath(face);
    drawBrushedPanel(p, QRectF(10, 30, 680, 228));
    p.restore();
    p.setPen(QPen(QColor(120, 120, 125), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(face);
    // piping along the top and the bottom of the face
    p.setPen(QPen(QColor(190, 160, 90), 1.2));
    p.drawLine(QPointF(18, 36), QPointF(682, 36));
    p.drawLine(QPointF(18, 252), QPointF(682, 252));

    // logo, left
    p.setFont(font(22, true));
    p.setPen(QColor(220, 190, 110));
    p.save();
    p.translate(46, 131);
    p.rotate(-90);
    p.drawText(QRectF(-60, -14, 120, 28), Qt::AlignCenter, "KALDO");
    p.restore();

    // input jack at far left, phones and power at far right
    drawJack(p, QPointF(28, 212), 9);
    drawLabel(p, QPointF(28, 230), "INPUT", 8);
    drawJack(p, QPointF(662, 212), 8);
    drawLabel(p, QPointF(662, 229), "PHONES", 8);
    p.setPen(QPen(QColor(10, 10, 10), 1));
    p.setBrush(QColor(200, 30, 20));
    p.drawRoundedRect(QRectF(650, 100, 24, 40), 4, 4);
    p.setBrush(QColor(235, 60, 40));
    p.drawRoundedRect(QRectF(653, 103, 18, 18), 3, 3);
    drawLabel(p, QPointF(662, 152), "POWER", 8);

    // three encoders with dark ring wells for the lamps
    const std::array<const char*, 3> names{"STOMPBOXES", "AMPS", "EFFECTS"};
    for (int i = 0; i < 3; ++i) {
        const QPointF c = kEncoders[i];
        QRadialGradient well(c, 62);
        well.setColorAt(0.6, QColor(12, 12, 14));
        well.setColorAt(1, QColor(40, 40, 44, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(well);
        p.drawEllipse(c, 62, 62);
        p.setPen(QPen(QColor(80, 80, 86), 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, 56, 56);
        // lamp sockets exactly under the lamps of this ring
        for (const kaldo::LampPlace& lamp : kaldo::kLampLayout) {
            if (lamp.tag != i) continue;
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(5, 5, 5));
            p.drawEllipse(QPointF(lamp.left + 6.5, lamp.top + 6.5), 8, 8);
        }
        drawKnob(p, c, 31);
        drawLabel(p, c + QPointF(0, 61), names[i], 11);
    }
    // the values the rings tick through
    p.setFont(font(7, false, true));
    p.setPen(QColor(170, 170, 175));
    for (int i = 0; i < 3; ++i) {
        p.drawText(QRectF(kEncoders[i].x() - 75, kEncoders[i].y() + 38, 20, 10), Qt::AlignCenter, "MIN");
        p.drawText(QRectF(kEncoders[i].x() + 55, kEncoders[i].y() + 38, 20, 10), Qt::AlignCenter, "MAX");
    }

    // small tone knobs between the encoders
    const std::array<std::pair<QPointF, const char*>, 4> tone{
        std::pair{QPointF(249, 80), "BASS"}, std::pair{QPointF(249, 160), "MID"},
        std::pair{QPointF(457, 80), "TREBLE"}, std::pair{QPointF(457, 160), "MASTER"}};
    for (const auto& [c, name] : tone) {
        drawKnob(p, c, 17);
        drawLabel(p, c + QPointF(0, 26), name, 8);
    }

    // preset buttons 1 to 4 along the bottom
    drawLabel(p, QPointF(353, 215), "PRESETS", 8, QColor(220, 190, 110));
    for (int i = 0; i < 4; ++i) {
        const QRectF b(263 + i * 48, 225, 36, 19);
        QLinearGradient g(b.topLeft(), b.bottomLeft());
        g.setColorAt(0, QColor(210, 210, 214));
        g.setColorAt(1, QColor(120, 120, 126));
        p.setPen(QPen(QColor(10, 10, 10), 1));
        p.setBrush(g);
        p.drawRoundedRect(b, 3, 3);
        p.setFont(font(11, true));
        p.setPen(QColor(25, 25, 25));
        p.drawText(b, Qt::AlignCenter, QString::number(i + 1));
    }
    // tap / tuner buttons and the model badge
    drawLabel(p, QPointF(120, 228), "TAP", 8);
    drawLabel(p, QPointF(586, 228), "TUNER", 8);
    for (double x : {120.0, 586.0}) {
        p.setPen(QPen(QColor(10, 10, 10), 1));
        p.setBrush(QColor(70, 70, 75));
        p.drawEllipse(QPointF(x, 212), 7, 7);
    }
    return img;
}

// ---- smaller pictures -----------------------------------------------------------------------------

QImage canvas(int w, int h) {
    QImage img(w * kScale, h * kScale, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
}

// The cancel button lies on the middle encoder, so its corners repeat that part of the panel.
QImage cancelButton(const QImage& panel) {
    QImage img = panel.copy(320 * kScale, (98 - kPictureTop) * kScale, 66 * kScale, 66 * kScale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(kScale, kScale);
    const QPointF c(33, 33);
    p.setPen(QPen(QColor(20, 20, 20), 2));
    QRadialGradient bezel(c, 33);
    bezel.setColorAt(0.8, QColor(200, 200, 205));
    bezel.setColorAt(1, QColor(90, 90, 95));
    p.setBrush(bezel);
    p.drawEllipse(c, 31, 31);
    QRadialGradient cap(c + QPointF(-8, -10), 34);
    cap.setColorAt(0, QColor(255, 170, 130));
    cap.setColorAt(0.5, QColor(230, 70, 50));
    cap.setColorAt(1, QColor(150, 20, 15));
    p.setPen(QPen(QColor(90, 10, 10), 1));
    p.setBrush(cap);
    p.drawEllipse(c, 25, 25);
    return img;
}

// The borderless windows' background. The gold frame runs along the very edge, with corners tight
// enough that the close glyph in the top right corner (designed 3 to 5 pixels from the edges) lies
// inside it. The wizard's "KALDO" sits in the band above the page text, clear of NEXT and TEST (from
// y 242) and of the page text, which keeps above them.
QImage darkBackground(int w, int h, bool withLogo) {
    QImage img = canvas(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(kScale, kScale);
    drawBrushedPanel(p, QRectF(0, 0, w, h));
    p.setPen(QPen(QColor(190, 160, 90), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(1, 1, w - 2, h - 2), 4, 4);
    if (withLogo) {
        p.setFont(font(30, true));
        p.setPen(QColor(220, 190, 110, 90));
        p.drawText(QRectF(0, 40, w, 40), Qt::AlignCenter, "KALDO");
    }
    return img;
}

// A round drawn button on the dark background: raised when normal, sunk and lit when pressed.
QImage roundButton(int size, const QString& text, bool pressed) {
    QImage img = canvas(size, size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(kScale, kScale);
    drawBrushedPanel(p, QRectF(0, 0, size, size));
    const QPointF c(size / 2.0, size / 2.0);
    const double r = size / 2.0 - 3;
    QRadialGradient bezel(c, r + 2);
    bezel.setColorAt(0.85, QColor(170, 170, 175));
    bezel.setColorAt(1, QColor(60, 60, 64));
    p.setPen(QPen(QColor(10, 10, 10), 1.5));
    p.setBrush(bezel);
    p.drawEllipse(c, r, r);
    QRadialGradient cap(c + (pressed ? QPointF(6, 6) : QPointF(-6, -7)), r * 1.3);
    cap.setColorAt(0, pressed ? QColor(255, 225, 150) : QColor(200, 200, 206));
    cap.setColorAt(0.55, pressed ? QColor(215, 160, 60) : QColor(110, 110, 118));
    cap.setColorAt(1, pressed ? QColor(120, 80, 20) : QColor(40, 40, 44));
    p.setBrush(cap);
    p.drawEllipse(c, r - 5, r - 5);
    p.setFont(font(size / 5, true));
    p.setPen(pressed ? QColor(40, 25, 5) : QColor(245, 245, 245));
    p.drawText(QRectF(0, pressed ? 1 : 0, size, size), Qt::AlignCenter, text);
    return img;
}

QImage closeGlyph(bool pressed) {
    QImage img = canvas(14, 14);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(kScale, kScale);
    p.fillRect(QRectF(0, 0, 14, 14), pressed ? QColor(150, 30, 25) : QColor(55, 55, 60));
    p.setPen(QPen(QColor(235, 235, 235), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(10, 10));
    p.drawLine(QPointF(10, 4), QPointF(4, 10));
    return img;
}

// ---- application icon ------------------------------------------------------------------------------

// The program's icon: one encoder of the front panel, its knob inside the ring of twelve lamps, eight
// of them lit green as during an upload, on a dark face. Drawn on a 100 x 100 square, so that the same
// painting makes every size of PNG and the scalable SVG.
void drawAppIcon(QPainter& p, double size) {
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);
    const QPointF c(50, 50);
    QLinearGradient face(0, 4, 0, 96);
    face.setColorAt(0, QColor(70, 70, 76));
    face.setColorAt(1, QColor(24, 24, 27));
    p.setPen(QPen(QColor(190, 160, 90), 2.5));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(4, 4, 92, 92), 18, 18);
    QRadialGradient well(c, 44);
    well.setColorAt(0.7, QColor(10, 10, 12));
    well.setColorAt(1, QColor(10, 10, 12, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(well);
    p.drawEllipse(c, 44, 44);
    // Twelve lamps clockwise from the lower left, as the rings count; the lit ones glow.
    constexpr int kLamps = 12;
    constexpr int kLit = 8;
    for (int i = 0; i < kLamps; ++i) {
        const double a = (120.0 + i * 300.0 / (kLamps - 1)) * M_PI / 180.0;
        const QPointF lamp = c + QPointF(std::cos(a), std::sin(a)) * 35.0;
        const bool lit = i < kLit;
        if (lit) {
            QRadialGradient glow(lamp, 10);
            glow.setColorAt(0, QColor(0, 255, 0, 150));
            glow.setColorAt(1, QColor(0, 255, 0, 0));
            p.setBrush(glow);
            p.drawEllipse(lamp, 10, 10);
        }
        QRadialGradient bulb(lamp + QPointF(-1.5, -1.5), 6);
        bulb.setColorAt(0, lit ? QColor(210, 255, 210) : QColor(170, 170, 170));
        bulb.setColorAt(0.5, lit ? QColor(0, 235, 0) : QColor(110, 110, 110));
        bulb.setColorAt(1, lit ? QColor(0, 110, 0) : QColor(55, 55, 55));
        p.setPen(QPen(QColor(0, 0, 0), 1));
        p.setBrush(bulb);
        p.drawEllipse(lamp, 5.2, 5.2);
        p.setPen(Qt::NoPen);
    }
    drawKnob(p, c, 23);
}

QImage appIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    drawAppIcon(p, size);
    return img;
}

bool writeAppIconSvg(const std::filesystem::path& path) {
    QSvgGenerator svg;
    svg.setFileName(QString::fromStdString(path.string()));
    svg.setSize(QSize(100, 100));
    svg.setViewBox(QRect(0, 0, 100, 100));
    svg.setTitle("KALDO Updater");
    QPainter p;
    if (!p.begin(&svg)) return false;
    drawAppIcon(p, 100);
    return p.end();
}

// Every size the icon theme's folders name, from the menu's 16 to the software centre's 512.
constexpr std::array<int, 8> kIconSizes{16, 24, 32, 48, 64, 128, 256, 512};

bool writeAppIcons(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    bool ok = writeAppIconSvg(dir / "kaldo-updater.svg");
    for (int size : kIconSizes) {
        const auto file = dir / ("kaldo-updater-" + std::to_string(size) + ".png");
        ok &= appIcon(size).save(QString::fromStdString(file.string()), "PNG");
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-artwork <resources folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::filesystem::path dir = argv[1];
    bool ok = true;

    const QImage panel = frontPanel();
    ok &= writeJpeg(panel, dir / "front-panel.jpg");
    ok &= writeJpeg(cancelButton(panel), dir / "cancel-button.jpg");
    ok &= writeJpeg(panel.scaled(263 * kScale, 107 * kScale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                    dir / "wizard-front-panel.jpg");
    ok &= writeJpeg(darkBackground(467, 350, true), dir / "wizard-background.jpg");
    ok &= writeJpeg(darkBackground(280, 210, false), dir / "dialog-background.jpg");
    for (bool pressed : {false, true}) {
        const std::string look = pressed ? "-pressed" : "";
        ok &= writeJpeg(roundButton(68, "NEXT", pressed), dir / ("button-next" + look + ".jpg"));
        ok &= writeJpeg(roundButton(66, "TEST", pressed), dir / ("button-test" + look + ".jpg"));
        ok &= writeJpeg(roundButton(66, "OK", pressed), dir / ("button-ok" + look + ".jpg"));
        ok &= writeJpeg(closeGlyph(pressed), dir / ("close" + look + ".jpg"));
    }

    const struct {
        const char* name;
        std::uint8_t full, dark;
    } lamps[] = {{"LED_GRAY", kSilver, kGray}, {"LED_RED", kRed, kMaroon},     {"LED_GRE", kLime, kGreen},
                 {"LED_YEL", kYellow, kOlive}, {"LED_BRIRED", kRed, kRed},     {"LED_BRIGRE", kLime, kLime},
                 {"LED_BRIYEL", kYellow, kYellow}};
    for (const auto& lamp : lamps) {
        ok &= writeBmp4(drawLamp(lamp.full, lamp.dark), dir / (std::string(lamp.name) + ".bmp"));
        ok &= writeBmp4(drawFineLamp(lamp.full, lamp.dark), dir / (std::string(lamp.name) + "@2x.bmp"));
    }

    ok &= writeAppIcons(dir / "icons");

    if (!ok) std::fprintf(stderr, "make-artwork: could not write every picture into %s\n", argv[1]);
    return ok ? 0 : 1;
}
