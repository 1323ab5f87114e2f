#pragma once
// The MIDI test dialog (Unit4), "Midi Test": its drawn button sends the Identity Request and a
// preset change; the version the amp reports is shown whenever its reply arrives, and a test that
// got no reply within 2 s says so, with what to check.
#include <QDialog>
#include <QLabel>
#include <QToolButton>

#include <cstdint>

#include "CircleShape.h"
#include "WizardHost.h"

namespace kaldo {

class TForm4 : public QDialog {
    Q_OBJECT
public:
    TForm4(WizardHost& host, QWidget* mainWindow);

    // "Test Connection": hides the last reply's caption and shows the dialog modally, centred over the
    // main window with the keyboard on the test button; returns at once.
    void showTest();
    // The identity reply's caption in Label2, whether or not the dialog is open; any thread.
    void showAmpVersion(const QString& versionText);

    std::int8_t dialogPresetCounter() const { return dialogPresetCounter_; }

    void Shape1MouseDown(Qt::MouseButton button);
    void Shape1MouseUp(Qt::MouseButton button);
    void SpeedButton1Click();

    QLabel* Image1;  // background
    QLabel* Label1;  // instructions
    QLabel* Image3;  // test button, pressed look (below Image2)
    QLabel* Image2;  // test button, normal look
    CircleShape* Shape1;  // test button hit area
    QLabel* Label2;  // reported version
    QToolButton* SpeedButton1;  // close glyph

    // How long a test waits for the amp's reply before it says that none came.
    static constexpr int kReplyWaitMs = 2000;

private:
    WizardHost& host_;
    QWidget* mainWindow_;
    std::int8_t dialogPresetCounter_ = 0;
};

}  // namespace kaldo
