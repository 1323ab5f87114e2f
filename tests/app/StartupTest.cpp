// Start and close of the main window with real settings files: defaults, the stale-version rule, the
// swapped X/Y, a stored position no screen shows, the remembered firmware file, the first-time flag,
// and what the close writes.
#include <QScreen>
#include <QSignalSpy>
#include <QSignalSpy>
#include <QTest>

#include "AppRig.h"
#include "FirmwareWriter.h"
#include "Look.h"
#include "TStatusBar.h"

using namespace kaldo;
using test::readText;
using test::writeText;

class StartupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::AppRig> rig;

    std::string firmwarePath() const { return (std::filesystem::path(rig->dir.path().toStdString()) / "fw.syx").string(); }

    void writeFirmware() { QVERIFY(tools::writeFile(firmwarePath(), tools::makeFirmware({}))); }

    std::string closeAndRead() {
        QSignalSpy closed(rig->form.get(), &TForm1::closed);
        rig->form->close();
        if (closed.count() != 1) return "(close handler did not finish)";
        return readText(rig->settingsPath());
    }

private slots:
    void init() {
        rig = std::make_unique<test::AppRig>();
        rig->midi->outputs = {"Out 0", "Out 1", "Out 2"};
        rig->midi->inputs = {"In 0"};
    }
    void cleanup() { rig.reset(); }

    void firstRunWithoutAFile() {
        TForm1& form = rig->start();
        QCOMPARE(form.pos(), QPoint(100, 100));
        QVERIFY(form.StartupHelp1->isChecked());
        QVERIFY(form.Timer2.isActive());
        QCOMPARE(form.Timer2.interval(), 400);
        QCOMPARE(form.updater->loader.loadResult, int{kNotLoaded});
        QVERIFY(rig->answers.seen.isEmpty());
        QVERIFY(!std::filesystem::exists(rig->settingsPath()));  // nothing written at start

        form.Timer2Timer();  // the wizard opens once
        QVERIFY(!form.Timer2.isActive());
        QVERIFY(form.findChild<TForm3*>()->isVisible());

        const std::string saved = closeAndRead();
        for (const char* line : {"[INI_VERSION]\r\nVERSION=1\r\n", "MIDI_OutPort=-1\r\n", "MIDI_InPort=-1\r\n",
                                 "X=100\r\n", "Y=100\r\n"})
            QVERIFY2(saved.find(line) != std::string::npos, saved.c_str());
        QVERIFY(saved.find("FT=") == std::string::npos);
        QVERIFY(saved.find("FILE=") == std::string::npos);
    }

    void staleFileLosesPositionAndFirmwareButKeepsTheFirstTimeFlag() {
        writeFirmware();
        writeText(rig->settingsPath(), "[INI_VERSION]\r\nVERSION=2\r\n[FIRST_TIME]\r\nFT=0\r\n[START_POS]\r\nX=300\r\n"
                                       "Y=50\r\n[FIRMWARE]\r\nFILE=" + firmwarePath() + "\r\n");
        TForm1& form = rig->start();
        QCOMPARE(form.pos(), QPoint(100, 100));
        QCOMPARE(form.updater->loader.loadResult, int{kNotLoaded});
        QVERIFY(!form.StartupHelp1->isChecked());
        QVERIFY(!form.Timer2.isActive());
        const std::string onDisk = readText(rig->settingsPath());
        QVERIFY(onDisk.find("START_POS") == std::string::npos);
        QVERIFY(onDisk.find("FT=0") != std::string::npos);
    }

    void currentFileRestoresPositionAndFirmwareButNotThePorts() {
        writeFirmware();
        writeText(rig->settingsPath(), "[INI_VERSION]\r\nVERSION=1\r\n[FIRST_TIME]\r\nFT=0\r\n[START_POS]\r\nX=300\r\n"
                                       "Y=50\r\n[MIDI_SELECTION]\r\nMIDI_OutPort=2\r\nMIDI_InPort=0\r\n[FIRMWARE]\r\n"
                                       "FILE=" + firmwarePath() + "\r\n");
        TForm1& form = rig->start();
        QCOMPARE(form.pos(), QPoint(50, 300));  // X is the top edge, Y the left edge
        QCOMPARE(form.updater->loader.loadResult, int{kPacketFormat});
        QCOMPARE(form.StatusBar1->text(2), QString("File Name: fw.syx"));
        QCOMPARE(form.StatusBar1->text(1), QString("Version 02.83"));
        QVERIFY(form.Out1->actions()[0]->isChecked());
        QCOMPARE(form.selection->selectedOutPort, -1);
        QVERIFY(rig->midi->openOutputs().empty());

        form.move(70, 20);
        const std::string saved = closeAndRead();
        QVERIFY2(saved.find("X=20\r\nY=70\r\n") != std::string::npos, saved.c_str());
        QVERIFY(saved.find("FILE=" + firmwarePath() + "\r\n") != std::string::npos);
        QVERIFY(saved.find("FT=0") != std::string::npos);
    }

    // A monitor since unplugged, or a position half off the screen: the window starts wholly on the
    // screen, moved no further than it must; the wizard then opens over it, on that screen.
    void positionNoScreenShowsIsPulledBack_data() {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("left");
        QTest::newRow("on a monitor right of this one") << 200 << 1800;
        QTest::newRow("above and left of every screen") << -2000 << -3000;
        QTest::newRow("half off the bottom right") << 900 << 1000;
    }
    void positionNoScreenShowsIsPulledBack() {
        QFETCH(int, top);
        QFETCH(int, left);
        writeText(rig->settingsPath(), "[INI_VERSION]\r\nVERSION=1\r\n[START_POS]\r\nX=" + std::to_string(top) +
                                           "\r\nY=" + std::to_string(left) + "\r\n");
        TForm1& form = rig->start();
        const QRect screen = form.screen()->availableGeometry();
        QVERIFY2(screen.contains(form.geometry()), qPrintable(QString("%1,%2").arg(form.x()).arg(form.y())));
        if (screen.intersects(QRect(QPoint(left, top), form.frameGeometry().size()))) {
            // partly shown: only pushed in
            QCOMPARE(form.frameGeometry().right(), std::min(left + form.frameGeometry().width() - 1, screen.right()));
        }
        form.Timer2Timer();
        QVERIFY(screen.contains(form.findChild<TForm3*>()->frameGeometry()));
    }

    // The rule over several screens, as a monitor arrangement describes them.
    void placeOnScreensKeepsTheWholeWindowOnOneScreen() {
        const QRect left(0, 0, 1920, 1040), right(1920, 0, 1280, 984);
        const QRect window(0, 0, 707, 400);
        const auto at = [&](int x, int y) { return window.translated(x, y); };
        // wholly on a screen: unchanged, on either
        QCOMPARE(look::placeOnScreens(at(100, 100), {left, right}, left), at(100, 100));
        QCOMPARE(look::placeOnScreens(at(2000, 500), {left, right}, left), at(2000, 500));
        // across the seam: into the screen that shows more of it
        QCOMPARE(look::placeOnScreens(at(1500, 100), {left, right}, left), at(1920 - 707, 100));
        QCOMPARE(look::placeOnScreens(at(1800, 700), {left, right}, left), at(1920, 984 - 400));
        // the right monitor is gone: centred on the primary screen
        QCOMPARE(look::placeOnScreens(at(2500, 100), {left}, left).center(), left.center());
        // larger than the screen: its top left corner stays in view
        QCOMPARE(look::placeOnScreens(QRect(500, 500, 2000, 1200), {left}, left).topLeft(), QPoint(0, 0));
    }

    void rememberedFileThatIsGoneIsReportedAndForgotten() {
        writeText(rig->settingsPath(), "[INI_VERSION]\r\nVERSION=1\r\n[FIRMWARE]\r\nFILE=" + firmwarePath() + "\r\n");
        TForm1& form = rig->start();
        QCOMPARE(form.updater->loader.loadResult, int{kNotLoaded});
        QCOMPARE(rig->answers.seen,
                 QStringList{"File Error | Can't perform one of the following file operations: Open, Seek, Read, Close."});
        QVERIFY(closeAndRead().find("FILE=") == std::string::npos);
    }

    void noFileTextLoadsNothing() {
        writeText(rig->settingsPath(), "[INI_VERSION]\r\nVERSION=1\r\n[FIRMWARE]\r\nFILE=no file\r\n");
        TForm1& form = rig->start();
        QCOMPARE(form.updater->loader.loadResult, int{kNotLoaded});
        QVERIFY(rig->answers.seen.isEmpty());
    }

    void startupHelpWritesTheFlagAndOpensTheWizard() {
        TForm1& form = rig->start();
        form.StartupHelp1->trigger();
        QVERIFY(!form.StartupHelp1->isChecked());
        QVERIFY(readText(rig->settingsPath()).find("[FIRST_TIME]\r\nFT=0") != std::string::npos);
        QVERIFY(!form.findChild<TForm3*>()->isVisible());
        form.StartupHelp1->trigger();
        QVERIFY(form.StartupHelp1->isChecked());
        QVERIFY(readText(rig->settingsPath()).find("FT=1") != std::string::npos);
        QVERIFY(form.findChild<TForm3*>()->isVisible());
    }

    // The wizard has a command of its own, whatever the first-time flag says.
    void updateWizardOpensTheWizard() {
        TForm1& form = rig->start();
        form.StartupHelp1->trigger();  // off: the wizard no longer comes by itself
        TForm3* wizard = form.findChild<TForm3*>();
        wizard->close();
        form.UpdateWizard1->trigger();
        QVERIFY(wizard->isVisible());
        QVERIFY(!form.StartupHelp1->isChecked());
    }

    void closeShutsThePortsAndSavesTheChoice() {
        TForm1& form = rig->start();
        form.Out1->actions()[2]->trigger();
        form.In1->actions()[1]->trigger();
        QCOMPARE(rig->midi->openOutputs(), std::vector<std::string>{"Out 1"});
        QCOMPARE(rig->midi->openInputs(), std::vector<std::string>{"In 0"});
        const std::string saved = closeAndRead();
        QVERIFY(rig->midi->openOutputs().empty());
        QVERIFY(rig->midi->openInputs().empty());
        QVERIFY2(saved.find("MIDI_OutPort=1\r\nMIDI_InPort=0\r\nOUT_NAME=Out 1\r\nIN_NAME=In 0\r\n") !=
                     std::string::npos,
                 saved.c_str());
    }

    // The amp's ports of last time open again by their names, whatever numbers they have now; a port
    // that is not there leaves its menu on "None", without a word.
    void thePortsOfLastTimeOpenAgainByName() {
        writeText(rig->settingsPath(), "[INI_VERSION]\r\nVERSION=1\r\n[FIRST_TIME]\r\nFT=0\r\n[MIDI_SELECTION]\r\n"
                                       "MIDI_OutPort=1\r\nMIDI_InPort=0\r\nOUT_NAME=Out 1\r\nIN_NAME=Amp In\r\n");
        rig->midi->outputs = {"New Synth", "Out 0", "Out 1"};
        TForm1& form = rig->start();
        QCOMPARE(form.selection->selectedOutName(), std::string("Out 1"));
        QCOMPARE(form.selection->selectedOutPort, 2);
        QVERIFY(form.selection->outPortReady);
        QVERIFY(form.Out1->actions()[3]->isChecked());
        QCOMPARE(rig->midi->openOutputs(), std::vector<std::string>{"Out 1"});
        QCOMPARE(form.selection->selectedInPort, -1);  // "Amp In" is not plugged in
        QVERIFY(form.In1->actions()[0]->isChecked());
        QVERIFY(rig->answers.seen.isEmpty());
    }

    // A file the older program wrote has port numbers but no names: numbers shift as devices come and
    // go, so they open nothing, and the start is at "None" as it always was.
    void portNumbersWithoutNamesOpenNothing() {
        writeText(rig->settingsPath(), "[INI_VERSION]\r\nVERSION=1\r\n[FIRST_TIME]\r\nFT=0\r\n[MIDI_SELECTION]\r\n"
                                       "MIDI_OutPort=1\r\nMIDI_InPort=0\r\n");
        TForm1& form = rig->start();
        QVERIFY(form.Out1->actions()[0]->isChecked());
        QVERIFY(form.In1->actions()[0]->isChecked());
        QVERIFY(rig->midi->openOutputs().empty());
        QVERIFY(rig->midi->openInputs().empty());
        QVERIFY(rig->answers.seen.isEmpty());
    }

    void unwritableSettingsAreReportedAndTheWindowStillCloses() {
        TForm1& form = rig->start();
        // a folder where the file should be: nothing can be written there
        std::filesystem::create_directories(rig->settingsPath());
        QSignalSpy closed(&form, &TForm1::closed);
        form.close();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(rig->answers.seen.last(), QString("ini | Could not save program settings."));
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
