#pragma once
// The program's version as the About box shows it. The one place that says it, so that it can be
// taken from the build's project version.
#include <QString>

namespace kaldo {

inline QString programVersion() { return QStringLiteral("2.83"); }

}  // namespace kaldo
