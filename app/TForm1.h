#pragma once
// The main window: the front panel with its 36 lamps, the two status rows, the gauge, the cancel
// button, the blinking warning and the menus. It is the desktop program's UpdaterUi: the engine shows
// everything through it.
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <array>
#include <memory>
#include <vector>

#include "Clock.h"
#include "Memo.h"
#include "UpdaterUi.h"

class QLabel;

namespace kaldo {

class DiagnosticsWindow;
class PictureLabel;
class RunLog;
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

    explicit TForm1(Clock& clock);
    ~TForm1() override;

    // The other windows, created after this one and living as long.
    void attachWindows(TForm3* wizard, TForm4* test, TForm5* dialog);

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
    QAction* None;    // design item 0 of Out1
    QAction* NoneIn;  // design item 0 of In1
    QAction* ReCheckforMididevices1;
    QAction* TestMidiConnection1;
    QAction* Diagnostics1;
    QMenu* Run1;
    QAction* UploadCode1;

    QTimer Timer1;  // progress clock of a single-block upload
    QTimer Timer2;  // one-shot wizard start
    QTimer Timer3;  // blink of the warning Label3

    Memo Memo1;
    int timer1Ticks = 0;

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
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void CancelMouseDown();
    void CancelMouseUp();
    void Exit1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildLamps();
    void buildMenus();
    void setCommandsEnabled(bool enabled);

    Clock& clock_;
    QWidget* client_;
    QActionGroup* outGroup_;
    QActionGroup* inGroup_;
    std::unique_ptr<RunLog> runLog_;
    TForm3* Form3_ = nullptr;
    TForm4* Form4_ = nullptr;
    TForm5* Form5_ = nullptr;
};

}  // namespace kaldo
