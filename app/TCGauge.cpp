#include "TCGauge.h"

#include <QPainter>
#include <algorithm>

namespace kaldo {

TCGauge::TCGauge(QWidget* parent) : QWidget(parent) {}

void TCGauge::SetMaxValue(int max) {
    max_ = std::max(1, max);
    progress_ = std::clamp(progress_, 0, max_);
    update();
}

void TCGauge::SetProgress(int progress) {
    progress_ = std::clamp(progress, 0, max_);
    update();
}

int TCGauge::PercentDone() const { return static_cast<int>(static_cast<long long>(progress_) * 100 / max_); }

void TCGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const int filled = static_cast<int>(static_cast<long long>(width()) * progress_ / max_);
    const QRect bar(0, 0, filled, height());
    p.fillRect(bar, QColor(0x00, 0xFF, 0x00));  // lime
    const QString text = QString::number(PercentDone()) + "%";
    // the percentage reads black on the bar and lime on the black
    p.setPen(QColor(0x00, 0xFF, 0x00));
    p.drawText(rect(), Qt::AlignCenter, text);
    p.setClipRect(bar);
    p.setPen(Qt::black);
    p.drawText(rect(), Qt::AlignCenter, text);
}

}  // namespace kaldo
