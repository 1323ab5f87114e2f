#include "CarriedFonts.h"

#include <QDir>
#include <QFontDatabase>

namespace kaldo {

void addCarriedFonts() {
    for (const QFileInfo& file : QDir(":/fonts").entryInfoList(QDir::Files))
        QFontDatabase::addApplicationFont(file.filePath());
}

}  // namespace kaldo
