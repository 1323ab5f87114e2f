#include "AppIcon.h"

#include <QDir>

namespace kaldo {

QIcon applicationIcon() {
    QIcon icon;
    // Each size that is compiled in; QIcon reads its size from the file.
    for (const QFileInfo& file : QDir(":/icons").entryInfoList({"kaldo-updater-*.png"}, QDir::Files))
        icon.addFile(file.filePath());
    return icon;
}

}  // namespace kaldo
