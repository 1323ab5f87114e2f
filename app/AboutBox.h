#pragma once
// "&Help" > "About KALDO Updater": the version, what the program does, its licence, and where it
// keeps its settings and its log, which is what a user asking for help is asked for first.
#include <QString>

class QWidget;

namespace kaldo {

// Shows the About box modally over owner.
void showAbout(QWidget* owner, const QString& settingsPath, const QString& logPath);

}  // namespace kaldo
