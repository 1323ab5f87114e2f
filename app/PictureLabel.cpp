#include "PictureLabel.h"

#include "DrawnButton.h"

namespace kaldo {

bool PictureLabel::pressedByKey(QKeyEvent* event) {
    return drawn::handleKey(
        event, [this] { emit mouseDown(); }, [this] { emit mouseUp(); });
}

void PictureLabel::keyPressEvent(QKeyEvent* event) {
    if (!pressedByKey(event)) QLabel::keyPressEvent(event);
}

void PictureLabel::keyReleaseEvent(QKeyEvent* event) {
    if (!pressedByKey(event)) QLabel::keyReleaseEvent(event);
}

}  // namespace kaldo
