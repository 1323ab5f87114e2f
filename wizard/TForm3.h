#pragma once
// The guided update wizard. For now a plain window with its welcome page; the guided steps come with
// the wizard's own work.
#include <QLabel>
#include <QWidget>

namespace kaldo {

class TForm3 : public QWidget {
    Q_OBJECT

public:
    explicit TForm3(QWidget* owner);

    // Back to the welcome page and closed, after an upload the user terminated.
    void ResetStartupClick();
    QLabel* Label1;
};

}  // namespace kaldo
