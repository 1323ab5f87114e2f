#include "StandInArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include "PanelRevision.h"

namespace kaldo::art {

QPixmap background(int width, int height) {
    QPixmap pixmap(width, height);
    QPainter painter(&pixmap);
    QLinearGradient shade(0, 0, 0, height);
    shade.setColorAt(0, QColor(0x3a, 0x3a, 0x40));
    shade.setColorAt(1, QColor(0x12, 0x12, 0x16));
    painter.fillRect(pixmap.rect(), shade);
    // Tolex-like grain so the window reads as part of the amp.
    painter.setPen(QColor(255, 255, 255, 10));
    for (int y = 0; y < height; y += 3) painter.drawLine(0, y, width, y);
    painter.setPen(QPen(QColor(0xb0, 0x90, 0x40), 2));
    painter.drawRect(pixmap.rect().adjusted(1, 1, -2, -2));
    return pixmap;
}

QPixmap roundButton(int size, const QString& caption, bool pressed) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(2, 2, size - 4, size - 4);
    QRadialGradient chrome(outer.center(), size / 2.0, outer.topLeft());
    chrome.setColorAt(0, QColor(0xf0, 0xf0, 0xf0));
    chrome.setColorAt(1, QColor(0x60, 0x60, 0x68));
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
    painter.setBrush(chrome);
    painter.drawEllipse(outer);
    const QRectF face = outer.adjusted(7, 7, -7, -7);
    painter.setBrush(pressed ? QColor(0x8a, 0x12, 0x10) : QColor(0xc8, 0x22, 0x1c));
    painter.drawEllipse(face.translated(pressed ? 1 : 0, pressed ? 1 : 0));
    QFont font;
    font.setBold(true);
    font.setPixelSize(size / 6);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(face.translated(pressed ? 1 : 0, pressed ? 1 : 0), Qt::AlignCenter, caption);
    return pixmap;
}

QPixmap frontPanel() {
    constexpr int kLeft = 103;  // the picture's place in the wizard window
    constexpr int kTop = 20;
    constexpr int kDot = 10;    // marker size: an LED sits under the marker's middle
    QPixmap pixmap(263, 107);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient metal(0, 0, 0, 107);
    metal.setColorAt(0, QColor(0x50, 0x50, 0x54));
    metal.setColorAt(1, QColor(0x28, 0x28, 0x2c));
    painter.fillRect(pixmap.rect(), metal);
    painter.setPen(QPen(QColor(0xb0, 0x90, 0x40), 1));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));

    QFont font;
    font.setBold(true);
    font.setPixelSize(9);
    painter.setFont(font);
    const char* names[] = {"STOMP", "AMP", "EFFECT"};
    for (int knob = 0; knob < 3; ++knob) {
        const int offset = PanelRevision::kLeftOffset[knob];
        const QPointF centre(PanelRevision::kRingCentre.left + offset - kLeft + kDot / 2.0,
                             PanelRevision::kRingCentre.top - kTop + kDot / 2.0);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(QColor(0x18, 0x18, 0x18));
        painter.drawEllipse(centre, 13, 13);
        painter.setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 2));
        painter.drawLine(centre, centre + QPointF(0, -10));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x60, 0x10, 0x10));
        for (const auto& led : PanelRevision::ledPositionTable)
            painter.drawEllipse(QPointF(led.left + offset - kLeft + kDot / 2.0, led.top - kTop + kDot / 2.0), 3, 3);
        painter.setPen(QColor(0xe8, 0xe8, 0xe8));
        painter.drawText(QRectF(centre.x() - 30, 88, 60, 14), Qt::AlignCenter, names[knob]);
    }
    return pixmap;
}

QPixmap closeGlyph(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xe0, 0xe0, 0xe0), 2));
    const int m = size / 4;
    painter.drawLine(m, m, size - m, size - m);
    painter.drawLine(size - m, m, m, size - m);
    return pixmap;
}

}  // namespace kaldo::art
