#include "TForm4.h"

#include "Pictures.h"

namespace kaldo {

TForm4::TForm4(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowCloseButtonHint) {
    setWindowTitle("Midi Test");
    setFixedSize(280, 210);
    auto* background = new QLabel(this);
    background->setGeometry(0, 0, 280, 210);
    background->setPixmap(picture("dialog-background.jpg"));
    Label1 = new QLabel(
        "Press the \"Test Midi\" button to send an ID request and preset changes. Presets should change if "
        "Midi is working.",
        this);
    Label1->setGeometry(20, 18, 240, 72);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);
    QFont f("DejaVu Sans");
    f.setPixelSize(13);
    f.setBold(true);
    Label1->setFont(f);
    Label1->setStyleSheet("color: white; background: transparent;");
    Label2 = new QLabel(this);
    Label2->hide();
}

}  // namespace kaldo
