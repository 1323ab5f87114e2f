#include "PageText.h"

#include <algorithm>

#include "Look.h"

namespace kaldo {

PageText::PageText(QWidget* parent, const QString& text, const QRect& designed, int keepAbove)
    : QLabel(parent), designed_(designed), keepAbove_(keepAbove) {
    look::styleCaption(this, 13, true);
    setPage(text);
}

void PageText::setPage(const QString& text) {
    setText(text);
    const int needed = heightForWidth(designed_.width());
    const int top = std::min(designed_.top(), keepAbove_ - needed);
    setGeometry(designed_.left(), top, designed_.width(), std::max(designed_.bottom() + 1 - top, needed));
}

}  // namespace kaldo
