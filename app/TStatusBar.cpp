#include "TStatusBar.h"

namespace kaldo {

TStatusBar::TStatusBar(QWidget* parent, const std::vector<int>& panelWidths, const QColor& colour)
    : QFrame(parent), widths_(panelWidths) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        auto* cell = new QLabel(this);
        cell->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        cell->setAlignment(Qt::AlignCenter);
        cell->setWordWrap(true);  // a long status text takes a second line rather than losing its ends
        cell->setLineWidth(1);
        panels_.push_back(cell);
    }
    layoutPanels();
}

void TStatusBar::setText(int i, const QString& text) { panel(i)->setText(text); }

void TStatusBar::resizeEvent(QResizeEvent*) { layoutPanels(); }

void TStatusBar::layoutPanels() {
    int x = 0;
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const bool last = i + 1 == panels_.size();
        const int w = last ? std::max(widths_[i], width() - x) : widths_[i];
        // two pixels between cells and around them, like the classic status bar
        panels_[i]->setGeometry(x, 2, w - 2, height() - 2);
        x += widths_[i];
    }
}

}  // namespace kaldo
