#pragma once
// The program's compiled-in pictures. Window pictures are JPEG drawn at twice their size on screen and
// decoded here with libjpeg (not through an image plugin, so no plugin has to be deployed); the pixmap
// carries a device pixel ratio of 2 and stays sharp on high-DPI screens.
#include <QImage>
#include <QPixmap>
#include <QString>

namespace kaldo {

// Decodes JPEG data; a null image when the data is not a readable JPEG.
QImage decodeJpeg(const QByteArray& data);

// A window picture by its resource name ("front-panel.jpg"): logical size is half its pixels.
// A null pixmap when the resource is missing or unreadable.
QPixmap picture(const QString& name);

}  // namespace kaldo
