#pragma once
// The main window on virtual time: MIDI in memory, a settings file in a fresh folder, the four windows
// made as the program makes them, and every modal message answered and recorded.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "FakeMidi.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "VirtualClock.h"

namespace kaldo::test {

// Answers every modal window as soon as it runs: message boxes with OK (or Cancel when asked to, or
// the button of the text asked for when there is one), the dialogs with accept. Records
// "caption | text" of each.
class ModalAnswerer : public QObject {
public:
    QStringList seen;
    bool answerCancel = false;
    QString answerButton;
    // When set, answers the dialogs instead (and must close them).
    std::function<void(QDialog*)> answerDialog;

    ModalAnswerer() {
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start();
    }

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == last_) return;
        last_ = modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen << box->windowTitle() + " | " + box->text();
            QAbstractButton* button = box->button(answerCancel ? QMessageBox::Cancel : QMessageBox::Ok);
            for (QAbstractButton* named : box->buttons())
                if (named->text() == answerButton) button = named;
            if (!button) button = box->button(QMessageBox::Ok);
            QMetaObject::invokeMethod(this, [this, button] {
                button->click();
                last_ = nullptr;  // the same window may come again for the next message
            }, Qt::QueuedConnection);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            QStringList texts;
            for (QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
            seen << dialog->windowTitle() + " | " + texts.join(' ');
            QMetaObject::invokeMethod(this, [this, dialog] {
                if (answerDialog)
                    answerDialog(dialog);
                else
                    dialog->accept();
                last_ = nullptr;
            }, Qt::QueuedConnection);
        }
    }

    QTimer timer_;
    QWidget* last_ = nullptr;
};

// The enabled items of a menu, as the user reads them.
inline QStringList captions(QMenu* menu) {
    QStringList texts;
    for (QAction* item : menu->actions()) {
        if (item->isEnabled()) texts << item->text();
    }
    return texts;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct AppRig {
    QTemporaryDir dir;
    VirtualClock clock;
    std::shared_ptr<midi::testing::FakeMidi> midi = std::make_shared<midi::testing::FakeMidi>();
    // When set, the MIDI system the windows use instead of the fake.
    std::shared_ptr<midi::MidiBackend> system;
    std::chrono::milliseconds midiLimit{3000};  // how long the window waits for the MIDI system
    ModalAnswerer answers;
    std::unique_ptr<TForm1> form;

    std::filesystem::path settingsPath() const { return std::filesystem::path(dir.path().toStdString()) / "kaldo-updater.INI"; }

    // Builds the windows in the program's order; link and senders as in TForm1::Environment.
    TForm1& start(MidiLink* link = nullptr, BlockSenderFactory* senders = nullptr) {
        TForm1::Environment env{clock, system ? system : midi, Settings(settingsPath()), link, senders};
        env.midiLimit = midiLimit;
        form = std::make_unique<TForm1>(env);
        form->attachWindows(new TForm3(form->host(), form.get()), new TForm4(form->host(), form.get()), new TForm5(form->host(), form.get()));
        form->show();
        return *form;
    }
};

}  // namespace kaldo::test
