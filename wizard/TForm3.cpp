#include "TForm3.h"

#include "Pictures.h"

namespace kaldo {

namespace {
const char* const kWelcome =
    "Welcome to the KALDO Updater. Are you ready to get started? What type of connection are you using?";
}

TForm3::TForm3(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowCloseButtonHint) {
    setWindowTitle("Welcome!");
    setFixedSize(467, 350);
    auto* background = new QLabel(this);
    background->setGeometry(0, 0, 467, 350);
    background->setPixmap(picture("wizard-background.jpg"));
    Label1 = new QLabel(kWelcome, this);
    Label1->setGeometry(45, 132, 377, 123);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setWordWrap(true);
    QFont f("DejaVu Sans");
    f.setPixelSize(13);
    f.setBold(true);
    Label1->setFont(f);
    Label1->setStyleSheet("color: white; background: transparent;");
}

void TForm3::ResetStartupClick() {
    Label1->setText(kWelcome);
    hide();
}

}  // namespace kaldo
