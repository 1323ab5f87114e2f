#pragma once
// The main window: the front panel with its 36 lamps, the two status rows, the gauge, the cancel
// button, the blinking warning and the menus. It owns the MIDI ports, the device selection, the rings
// and the engine, and is the desktop program's UpdaterUi: the engine shows everything through it.
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "AmpDetection.h"
#include "Clock.h"
#include "LinkSwitch.h"
#include "MidiSelection.h"
#include "RingShows.h"
#include "SelectedMidiLink.h"
#include "Settings.h"
#include "SleepGuard.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "Threader.h"
#include "Updater.h"
#include "UpdaterUi.h"

class QLabel;

namespace kaldo {

class AmpFinder;
class DeviceMenus;
class DiagnosticsWindow;
class MainWindowHost;
class WizardHost;
class PictureLabel;
class RunLog;
class StopQuestion;
class TCGauge;
class TForm3;
class TForm4;
class TForm5;
class TLEDImage;
class TStatusBar;

class TForm1 : public QMainWindow, public UpdaterUi {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 703;
    static constexpr int kClientHeight = 375;

    // What the window is built on. The program passes its Qt clock, the system's MIDI and the settings
    // beside the executable; the tests a virtual clock, MIDI in memory and a settings file of their own.
    struct Environment {
        Clock& clock;
        std::shared_ptr<midi::MidiBackend> midi;
        Settings settings;
        // When set, the engine talks to this link instead of the selected ports.
        MidiLink* link = nullptr;
        // When set, blocks are sent by these senders instead of the sender thread.
        BlockSenderFactory* senders = nullptr;
        // When set, uploads keep the computer awake through this guard instead of the system's.
        SleepGuard* sleep = nullptr;
    };

    // The creation sequence: controls, rings and init_leds, device menus, settings, remembered file.
    explicit TForm1(const Environment& env);
    ~TForm1() override;

    // The other windows, created after this one and living as long. They reach the main window's
    // controls, menus and state through host().
    void attachWindows(TForm3* wizard, TForm4* test, TForm5* dialog);
    WizardHost& host();

    // The client area below the menu bar: every control of the design is a direct child of it.
    QWidget* client() const { return client_; }

    // Controls, named as in the design.
    QLabel* Image1;
    PictureLabel* Image2;
    PictureLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    TStatusBar* StatusBar1;
    TStatusBar* StatusBar2;
    TCGauge* CGauge1;
    std::vector<TLEDImage*> lamps;  // in the window's child order
    DiagnosticsWindow* diagnostics;

    // Menus.
    QMenu* File1;
    QAction* Firmware1;
    QAction* Exit1;
    QAction* StartupHelp1;
    QMenu* Midi1;
    QMenu* Out1;
    QMenu* In1;
    QAction* ReCheckforMididevices1;
    QAction* TestMidiConnection1;
    QAction* FindAmp1;  // our addition: finds the amp's ports by asking every output
    QAction* Diagnostics1;  // our addition: opens the diagnostics window
    QMenu* Run1;
    QAction* UploadCode1;
    QAction* UpdateWizard1;  // our addition: opens the wizard
    QMenu* Help1;         // our addition
    QAction* About1;      // "About KALDO Updater"

    QTimer Timer2;  // one-shot wizard start
    QTimer Timer3;  // blink of the warning Label3
    // (Timer1, the progress clock, and Timer4, the reply time-out, are kept by the engine on the Clock.)

    // MIDI ports, the device selection and the engine.
    midi::TMidiOut MidiOut1;
    midi::TMidiIn MidiIn1;
    std::unique_ptr<midi::MidiSelection> selection;
    RingShows shows;
    std::unique_ptr<Updater> updater;

    // The outcome of the last "Upload Code".
    const UploadResult& lastUpload() const { return lastUpload_; }
    // The settings file this window reads and writes.
    const Settings& settings() const { return settings_; }
    QString logFilePath() const;

    // UpdaterUi
    void setStatus1(int panel, const std::string& text) override;
    void setStatus2(int panel, const std::string& text) override;
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override;
    void setGaugeVisible(bool visible) override;
    void setGaugeMax(int max) override;
    void setGaugeProgress(int progress) override;
    void setWarningVisible(bool visible) override;
    void setWarningBlink(bool enabled) override;
    void setCancelLabelVisible(bool visible) override;
    void setCancelPictureVisible(bool visible) override;
    void dialogMessage(const std::string& text) override;
    bool dialogQuestion(const std::string& text) override;
    void dialogPortSelection(const std::string& text, bool confirm) override;
    void wizardToFront() override;
    void wizardResetStartup() override;
    void showAmpVersion(const std::string& versionText, bool inWizard) override;
    void logChanged() override;

    // Handlers.
    void Firmware1Click();
    void Exit1Click();
    void StartupHelp1Click();
    void UpdateWizard1Click();
    void ReCheckforMididevices1Click();
    void TestMidiConnection1Click();
    void FindAmp1Click();
    // "Find Amp", for the wizard too (AmpFinder::find).
    std::optional<FoundAmp> findTheAmp(bool tellFound);
    void Button2Click();
    void Timer2Timer();
    void Timer3Timer();
    // The cancel button (Image2, Label1): pressed, and released, which asks before the upload stops.
    void CancelMouseDown();
    void CancelMouseUp();
    // The close handler: closes both ports and saves the settings.
    void FormClose();

    // The desktop session is ending. With no upload running it may. During one the user is asked
    // whether to stop it (when the session lets us ask): true when the upload is asked to stop, false
    // when it must go on and the session should wait.
    bool sessionMayEnd(bool userCanAnswer);
    // The question asked before an upload is stopped (leaving, or its cancel button), while it is open.
    QMessageBox* stopQuestion() const;

signals:
    // The window has closed and its close handler has run: the program may end.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void buildLamps();
    void buildMenus();
    void readSettings();
    void setCommandsEnabled(bool enabled);
    void stopUploadAndClose();

    Clock& clock_;
    Settings settings_;
    LinkSwitch link_;
    std::unique_ptr<BlockSenderFactory> ownSenders_;
    std::unique_ptr<SleepGuard> ownSleep_;
    std::unique_ptr<midi::SelectedMidiLink> selectedLink_;
    std::unique_ptr<MainWindowHost> host_;
    QWidget* client_;
    std::shared_ptr<midi::MidiBackend> midi_;
    std::unique_ptr<DeviceMenus> deviceMenus_;
    std::unique_ptr<AmpFinder> ampFinder_;
    std::unique_ptr<RunLog> runLog_;
    TForm3* Form3_ = nullptr;
    TForm4* Form4_ = nullptr;
    TForm5* Form5_ = nullptr;
    UploadResult lastUpload_;
    StopQuestion* stopQuestion_;
    bool shownOnce_ = false;
    bool closePending_ = false;
    bool closeHandled_ = false;
};

}  // namespace kaldo
