// The wizard driving the real engine against the simulated amp, on virtual time: an amp at 01.02
// takes the carried intermediate image first, then the chosen file, and ends confirmed at the new
// revision; on either connection type. After each stage the USB path reads the revision the amp
// now reports.
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <filesystem>

#include "BlockSender.h"
#include "FirmwareWriter.h"
#include "FrontPanel.h"
#include "InProcessAmp.h"
#include "InlineSenderFactory.h"
#include "IntermediateImage.h"
#include "RecordingUi.h"
#include "RingShows.h"
#include "SleepGuard.h"
#include "TForm5.h"
#include "TempDir.h"
#include "Updater.h"
#include "VirtualClock.h"
#include "WizardDriving.h"

using namespace kaldo;
using namespace kaldo::test;

namespace {

constexpr PackedVersion kRev0102 = 0x00010002;
constexpr PackedVersion kRev0283 = 0x00020803;

// The engine's user interface: hands the wizard its captions and its front and reset, and notes
// every box and dialog (none may claim success after a failure).
class EngineUi : public RecordingUi {
public:
    TForm3* wizard = nullptr;
    std::vector<std::string> shown;
    std::vector<std::string> versions;  // as the reply handling showed them in "Current Firmware"

    void setStatus2(int panel, const std::string& text) override {
        RecordingUi::setStatus2(panel, text);
        if (panel == 3) shown.push_back("status " + text);
    }
    Answer messageBox(const std::string& text, const std::string& caption, Buttons buttons) override {
        shown.push_back("box " + caption + ": " + text);
        return RecordingUi::messageBox(text, caption, buttons);
    }
    void dialogMessage(const std::string& text) override { shown.push_back("dialog " + text); }
    bool dialogQuestion(const std::string& text) override {
        shown.push_back("question " + text);
        pageAtQuestion = wizard->Label1->text();
        return false;
    }
    QString pageAtQuestion;  // what the wizard's page said when the upload asked its question
    void dialogPortSelection(const std::string& text, bool) override { shown.push_back("ports " + text); }
    void wizardToFront() override {
        label3AtFront.push_back(wizard->Label3->isVisible());
        wizard->wizardToFront();
    }
    std::vector<bool> label3AtFront;  // whether the wizard showed a revision as each upload completed
    void wizardResetStartup() override { wizard->ResetStartupClick(); }
    void showAmpVersion(const std::string& versionText, bool inWizard) override {
        versions.push_back(versionText);
        if (inWizard) wizard->showAmpVersion(QString::fromStdString(versionText));
    }
};

// The main window's side over the engine and the simulated amp's one USB MIDI device.
class EngineHost : public WizardHost {
public:
    EngineHost(VirtualClock& clock, Updater& updater, sim::InProcessAmp& amp, std::string file)
        : clock_(clock), updater_(updater), amp_(amp), file_(std::move(file)) {
        amp_.selectPorts(false, false);
    }

    std::vector<std::string> outputDeviceNames() override { return {"USB Audio Device"}; }
    std::vector<std::string> inputDeviceNames() override { return {"USB Audio Device"}; }
    void clickOutItem(int item) override {
        out_ = item == 1;
        amp_.selectPorts(out_, in_);
    }
    void clickInItem(int item) override {
        in_ = item == 1;
        amp_.selectPorts(out_, in_);
    }
    std::optional<FoundAmp> findAmp() override { return std::nullopt; }
    bool outPortReady() override { return amp_.outPortReady(); }
    bool inPortReady() override { return amp_.inPortReady(); }
    void Put2(std::uint8_t status, std::uint8_t data) override { amp_.put2(status, data); }
    void SysEx(const std::uint8_t* data, std::size_t length) override { amp_.sysEx(data, length); }
    std::optional<std::string> runOpenDialog(const std::string&) override { return file_; }
    int ReadFile(const std::string& path) override { return updater_.ReadFile(path); }
    UploadOutcome clickUploadCode() override {
        ++uploads;
        return updater_.Button2Click().outcome;
    }
    void mainToFront() override {}
    void pump() override { clock_.pause(5); }
    void pause(int ms) override { clock_.pause(ms); }
    std::int64_t nowMs() override { return clock_.nowMs(); }
    void setFirstTime(bool) override {}
    std::optional<IdentityReply> ampVersion() override {
        const auto s = updater_.replies.snapshot();
        if (s.ampVersion == kNoVersion) return std::nullopt;
        return IdentityReply{s.ampVersion, s.ampVersionText};
    }
    void clearAmpVersion() override { updater_.replies.clearAmpVersion(); }
    PackedVersion fileVersionUnmasked() override { return updater_.loader.fileVersionUnmasked; }
    void clearReplyCode() override { updater_.replies.clearReplyCode(); }
    bool takeReply(int code) override { return updater_.replies.take({code}).has_value(); }
    void initTimeout(int ms) override { updater_.initTimeout(ms); }
    bool timeoutCheck() override { return updater_.timeoutCheck(); }
    void resetCodeUpload() override { updater_.resetCodeUpload(); }
    void setStatusPanel1(const std::string& text) override { statusPanel1 = text; }
    void setStatusPanel3(const std::string& text) override { statusPanel3 = text; }
    void messageBox(const std::string& text, const std::string& caption) override {
        boxes.push_back(caption + ": " + text);
    }
    SharedFlags& flags() override { return updater_.flags; }

    int uploads = 0;
    std::string statusPanel1;
    std::string statusPanel3;
    std::vector<std::string> boxes;

private:
    VirtualClock& clock_;
    Updater& updater_;
    sim::InProcessAmp& amp_;
    std::string file_;
    bool out_ = false;
    bool in_ = false;
};

struct Rig {
    explicit Rig(const std::string& fileName, PackedVersion ampRevision = kRev0102) : amp(clock, ampRevision), shows(clock), updater(clock, ui, amp, shows, senders, sleep) {
        tools::FirmwareOptions firmware;
        firmware.version = kRev0283;
        firmware.packetCount = 6;
        firmware.packetDataLength = 256;
        image = tools::makeFirmware(firmware);
        path = (files.path() / fileName).string();
        tools::writeFile(path, image);
        shows.init_leds(panel.children);  // the shows pace their waits by their lamps
        amp.setReplySink([this](std::span<const std::uint8_t> m) { updater.MidiIn1SysEx(m.data(), m.size()); });
        host = std::make_unique<EngineHost>(clock, updater, amp, path);
        wizard = std::make_unique<TForm3>(*host, nullptr);
        ui.wizard = wizard.get();
        wizard->showWizard();
    }

    void next() { click(wizard->Shape1); }
    // The USB path up to its test page, its ports chosen and the connection tested.
    void testedUsbConnection() {
        pick(wizard->ComboBox5, 1);
        next();
        next();
        pick(wizard->ComboBox1, 0);
        pick(wizard->ComboBox6, 0);
        next();
        click(wizard->Shape2);
        clock.pause(100);
    }

    test::TempDir files;
    VirtualClock clock;
    EngineUi ui;
    sim::InProcessAmp amp;
    test::InlineSenderFactory senders{clock};
    FrontPanel panel;
    RingShows shows;
    NoSleepGuard sleep;
    Updater updater;
    std::vector<std::uint8_t> image;
    std::string path;
    std::unique_ptr<EngineHost> host;
    std::unique_ptr<TForm3> wizard;
};

// The amp's new revision confirmed in the message and confirmation dialog, as after a reconnect.
void confirmNewRevision(Rig& rig) {
    TForm5 dialog(*rig.host, nullptr);
    QString result;
    QTimer::singleShot(0, &dialog, [&] {
        // The upload released the ports; the user picks the amp's device again.
        dialog.ComboBox1Enter();
        pick(dialog.ComboBox1, 0);
        dialog.ComboBox2Enter();
        pick(dialog.ComboBox2, 0);
        click(dialog.Shape1);  // confirms
        result = dialog.Label1->text();
        dialog.close();
    });
    dialog.dialogPortSelection("Now select the MIDI device.", true);
    QCOMPARE(result, QString("Success, new code rev is confirmed. Rock On!"));
    QCOMPARE(rig.host->statusPanel3, std::string("Status -> Complete."));
    QVERIFY(rig.host->boxes.empty());
}

}  // namespace

class WizardEndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void usbAmpAt102TakesBothStagesAndConfirms();
    void classicAmpAt102TakesBothStagesBlind();
    void usbFinalPageShowsOnlyTheRevisionReadAfter();
};

void WizardEndToEndTest::usbAmpAt102TakesBothStagesAndConfirms() {
    Rig rig("e2e-usb.syx");
    TForm3& w = *rig.wizard;
    rig.testedUsbConnection();
    rig.clock.pump();
    QCOMPARE(w.Label3->text(), QString("Connected, current code version is 01.02"));
    QCOMPARE(rig.amp.programChanges().size(), std::size_t{1});
    rig.next();  // through the file choice to the start page
    QCOMPARE(w.revisionText(), std::string("1.02"));
    QVERIFY(w.currentStep() == &TForm3::Button1Next4Click);

    rig.next();
    QVERIFY2(w.Label1->text().startsWith("First stage complete!"), qPrintable(w.Label1->text()));
    rig.clock.pump();
    QCOMPARE(rig.ui.versions.back(), std::string("01.39"));  // the carried image's revision, just read
    // The page shows the revision just read, never the one from the test before the upload.
    QCOMPARE(w.Label3->text(), QString("Connected, current code version is 01.39"));
    QVERIFY(w.Label3->isVisible());
    const auto carried = intermediateImage();
    QCOMPARE(rig.amp.receivedImage(), std::vector<std::uint8_t>(carried.begin(), carried.end()));
    QVERIFY(!rig.updater.flags.intermediateStage);

    // Every upload ends by releasing the ports, and the amp restarts: they are chosen again before
    // the final stage, which could not send otherwise.
    QVERIFY(!rig.amp.outPortReady());
    rig.next();
    QCOMPARE(rig.host->uploads, 1);
    QVERIFY(w.ComboBox1->isVisible() && w.ComboBox6->isVisible());
    QVERIFY(!w.Shape1->isEnabled());
    pick(w.ComboBox1, 0);
    pick(w.ComboBox6, 0);
    rig.next();
    QVERIFY2(w.Label1->text().startsWith("Final stage complete!"), qPrintable(w.Label1->text()));
    QCOMPARE(rig.amp.revision(), kRev0283);
    QCOMPARE(rig.host->uploads, 2);
    rig.clock.pump();
    QCOMPARE(rig.ui.versions.back(), std::string("02.83"));
    QCOMPARE(w.Label3->text(), QString("Connected, current code version is 02.83"));
    // ... nor, while the uploads ran, the one each upload asked for before it sent
    QCOMPARE(rig.ui.label3AtFront, (std::vector<bool>{false, false}));
    QVERIFY(!rig.amp.outPortReady() && !rig.amp.inPortReady());  // released again, as the upload left them
    for (const auto& s : rig.ui.shown) QVERIFY2(s.rfind("box", 0) != 0, s.c_str());  // no failure on the way

    confirmNewRevision(rig);
    rig.next();
    QVERIFY(!w.isVisible());
    QVERIFY(!rig.updater.flags.wizardActive);
}

void WizardEndToEndTest::classicAmpAt102TakesBothStagesBlind() {
    Rig rig("e2e-midi.syx");
    TForm3& w = *rig.wizard;
    pick(w.ComboBox5, 0);
    rig.next();
    rig.next();
    pick(w.ComboBox1, 0);  // output only
    rig.next();
    click(w.Shape2);
    rig.next();
    rig.next();
    pick(w.ComboBox2, 1);  // the LEDs of 1.02
    pick(w.ComboBox3, 0);
    pick(w.ComboBox4, 2);
    rig.next();
    rig.next();
    QVERIFY(w.currentStep() == &TForm3::Button1Next4Click);
    rig.next();
    QVERIFY2(w.Label1->text().startsWith("First stage complete!"), qPrintable(w.Label1->text()));
    rig.next();
    QCOMPARE(w.Label1->text(), QString("Select your MIDI device from the drop down menu."));
    pick(w.ComboBox1, 0);
    rig.next();
    QVERIFY2(w.Label1->text().startsWith("Final stage complete! The amp may have rebooted."), qPrintable(w.Label1->text()));
    QVERIFY(rig.ui.shown.back().rfind("question Do you want to setup the KALDO USB MIDI interface?", 0) == 0);
    // The page said how the upload went before the upload's question came.
    QVERIFY2(rig.ui.pageAtQuestion.startsWith("Final stage complete! The amp may have rebooted."),
             qPrintable(rig.ui.pageAtQuestion));
    QVERIFY(!w.Label3->isVisible());  // nothing read back over a cable
    QCOMPARE(rig.amp.revision(), kRev0283);
    QCOMPARE(rig.amp.receivedImage(), rig.image);
    // Over a MIDI cable the amp cannot say: the old revision is not shown as current.
    QCOMPARE(rig.host->statusPanel1, std::string("Version ?"));
}

// One stage over USB: the upload asks the amp for its revision before it sends, and the test's
// line on the page must not come back with that answer; the final page shows the revision read after.
void WizardEndToEndTest::usbFinalPageShowsOnlyTheRevisionReadAfter() {
    Rig rig("e2e-one.syx", 0x00020500);
    TForm3& w = *rig.wizard;
    rig.testedUsbConnection();
    rig.next();
    QVERIFY(w.currentStep() == &TForm3::Button1Next9Click);
    rig.next();
    QVERIFY2(w.Label1->text().startsWith("Final stage complete!"), qPrintable(w.Label1->text()));
    QCOMPARE(rig.ui.label3AtFront, std::vector<bool>{false});
    QCOMPARE(w.Label3->text(), QString("Connected, current code version is 02.83"));
}

QTEST_MAIN(WizardEndToEndTest)
#include "WizardEndToEndTest.moc"
