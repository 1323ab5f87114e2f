#pragma once
// The guided update wizard (Unit3): a borderless window that walks a first-time user through
// connecting, choosing the MIDI ports, testing, learning the amp's current revision and running the
// update in one or two stages. Every step drives the main window through WizardHost; the page that
// shows is the step that Button1 (the hidden "Next" that the drawn Next button and Escape click)
// runs next.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <string>

#include "CircleShape.h"
#include "ConnectionTest.h"
#include "EditableList.h"
#include "PageText.h"
#include "PanelRevision.h"
#include "UpdateStages.h"
#include "WizardHost.h"

namespace kaldo {

class TForm3 : public QWidget {
    Q_OBJECT
public:
    using Step = void (TForm3::*)();

    // mainWindow is what the wizard is centred over.
    TForm3(WizardHost& host, QWidget* mainWindow);

    // Shows the wizard modeless where it left off (only a reset takes it back to the welcome page).
    void showWizard();
    // The upload sequence brings the wizard forward (shown again if the user had hidden it) at the
    // end of a completed upload.
    void wizardToFront();
    // The identity reply's caption in Label3; may be called from any thread.
    void showAmpVersion(const QString& versionText);

    Step currentStep() const { return currentStep_; }
    // The amp's revision as the wizard learnt it on this path: reported over USB, or read off the
    // front panel over a MIDI cable. Only "1.02" makes the intermediate stage run.
    const std::string& revisionText() const { return usbConnection_ ? reportedRevision_ : panel_.revisionText(); }
    int intermediateNeeded() const { return stages_.intermediateNeeded(); }
    bool usbConnection() const { return usbConnection_; }
    const std::string& wizardFileName() const { return stages_.fileName(); }
    const PanelRevision& panelRevision() const { return panel_; }

    // The steps bound to Button1, one at a time.
    void Button1Click();
    void Button1Next1Click();
    void Button1Next2Click();
    void Button1Next3Click();
    void Button1Next4Click();
    void Button1Next5Click();
    void Button1Next6Click();
    void Button1Next7Click();
    void Button1Next8Click();
    void Button1Next9Click();
    void Button1Next10Click();
    void Button1Next20Click();
    // The connection test behind the drawn Test button (ConnectionTest::send).
    void Button2Click();
    // Reset and close, on request of the upload sequence when the user terminated an upload.
    void ResetStartupClick();

    void ComboBox5Change();
    void ComboBox1Change();
    void ComboBox6Change();
    // The "Find my amp" link of the USB device page: fills both lists with the amp's ports.
    void FindAmpClick();
    void ComboBox2Change();
    void ComboBox3Change();
    void ComboBox4Change();
    void CheckBox1Click();
    void Shape1MouseDown(Qt::MouseButton button);
    void Shape1MouseUp(Qt::MouseButton button);
    void Shape2MouseDown(Qt::MouseButton button);
    void Shape2MouseUp(Qt::MouseButton button);

    QLabel* Image1;  // background
    PageText* Label1;  // page text
    EditableList* ComboBox5;  // connection type
    QCheckBox* CheckBox1;
    EditableList* ComboBox1;  // MIDI out device
    EditableList* ComboBox6;  // MIDI in device
    QLabel* FindAmpLink;      // our addition: "Find my amp", shown with ComboBox6
    QLabel* Image3;  // Next, normal look
    QLabel* Image2;  // Next, pressed look
    CircleShape* Shape1;  // Next hit area
    QLabel* Image4;  // Test, normal look
    QLabel* Image9;  // Test, pressed look
    CircleShape* Shape2;  // Test hit area
    QLabel* Image5;  // front panel
    QLabel* Label3;  // reported version
    QLabel* Label2;  // revision read off the panel
    EditableList* ComboBox2;  // stompbox ring
    EditableList* ComboBox3;  // amp ring
    EditableList* ComboBox4;  // effect ring
    CircleShape* Shape3;  // stompbox marker
    CircleShape* Shape4;  // amp marker
    CircleShape* Shape5;  // effect marker
    QToolButton* SpeedButton1;  // close glyph
    QPushButton* Button1;  // runs the current step; below the visible area
    QPushButton* Button2;  // "Test Midi", hidden
    QPushButton* ResetStartup;  // hidden

private:
    // What a reset restores, captured once after the designed properties are applied.
    struct SavedLayout {
        int shape1Left, shape2Left;
        bool shape1Enabled, shape2Enabled;
        bool label3Visible;
        std::array<int, 6> imageLeft;  // Image1, Image2, Image3, Image4, Image5, Image9
        std::array<bool, 6> imageVisible;
        std::array<bool, 6> comboVisible;  // ComboBox1 to ComboBox6
        bool checkBox1Enabled, checkBox1Visible;
    };

    std::array<QLabel*, 6> images() const;
    std::array<EditableList*, 6> combos() const;
    void bind(Step step) { currentStep_ = step; }
    void runCurrentStep();
    void placeFocus();
    void moveNextGroup(int dx);
    void fillDeviceLists();
    void clearDeviceLists();
    void panelChange(PanelRevision::Knob knob, EditableList* list, CircleShape* marker);
    bool firmwareFileChosen();
    bool stagePortsReady();
    UploadOutcome runStage(Step completed);
    void showFirstStageDone();
    void showFinalStageDone();
    void readRevisionAfterStage();
    void bringForward();

    WizardHost& host_;
    QWidget* mainWindow_;
    SavedLayout savedLayout_{};
    Step currentStep_ = &TForm3::Button1Click;
    bool usbConnection_ = false;
    std::string reportedRevision_ = "x.xx";
    Step stageCompleted_ = nullptr;  // while a stage uploads: shows its completion page
    ConnectionTest test_{host_};
    UpdateStages stages_{host_, [this] { bringForward(); }};
    PanelRevision panel_;
};

}  // namespace kaldo
