#pragma once
// The MIDI test dialog ("Midi Test"). For now a plain window whose caption shows the reported version;
// the test itself comes with the wizard's work.
#include <QLabel>
#include <QWidget>

namespace kaldo {

class TForm4 : public QWidget {
    Q_OBJECT

public:
    explicit TForm4(QWidget* owner);
    QLabel* Label1;
    QLabel* Label2;
};

}  // namespace kaldo
