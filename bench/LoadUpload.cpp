// Uploads of the desktop program on a loaded machine: the main window on the machine's MIDI (a JACK
// server that bench/load-bench.sh starts with a short period, beside programs that keep the CPU busy)
// against kaldo-amp-sim as a process of its own, a fresh amp and a fresh window for every run.
//   bench_load_upload menu|wizard RUNS SIM [PACKETS]
// menu: "Upload Code" from the menu (a handshake upload, the amp at 02.80); wizard: the wizard's USB
// path at 01.02 (the carried single block, then the file) and the confirmation of the new revision.
// Every run prints one line: completed or not, and for a failed run what the window said, the status
// rows it went through and what the amp sent against what the receive log holds, so that a reply that
// came and was not counted shows; a completed run names the answer that did not arrive when the amp's
// next reply stood in for it. The last line is the count of completed runs.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "FirmwareWriter.h"
#include "QtClock.h"
#include "Settings.h"
#include "SystemMidi.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TStatusBar.h"

using namespace kaldo;

namespace {

constexpr int kSlowMs = 60000;

// Answers what a user would, noting it: the file dialog gets the firmware file, a message box is
// read and closed, the closing dialogs of the menu's upload are closed (the bench does not confirm
// there). It also keeps the status rows the window went through.
class User : public QObject {
public:
    User(TForm1& form, QString file) : form_(form), file_(std::move(file)) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start();
    }
    QStringList said;      // message boxes and dialogs, in order
    QStringList statuses;  // the status row's texts, in order
    bool closeDialogs = true;

private:
    void look() {
        const QString status = form_.StatusBar2->text(3);
        if (statuses.isEmpty() || statuses.last() != status) statuses << status;
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(file_);
            static_cast<QDialog*>(dialog)->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            said << box->text();
            box->close();
        } else if (auto* dialog = qobject_cast<TForm5*>(modal); dialog && closeDialogs) {
            said << "dialog: " + dialog->Label1->text();
            dialog->close();
        }
    }
    TForm1& form_;
    QString file_;
    QTimer timer_;
};

void click(CircleShape* shape) { QTest::mouseClick(shape, Qt::LeftButton, {}, shape->rect().center()); }

bool pick(EditableList* list, const QString& prefix) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).startsWith(prefix)) {
            list->setCurrentIndex(i);
            emit list->activated(i);
            return true;
        }
    }
    return false;
}

bool pick(QMenu* menu, const QString& prefix) {
    for (QAction* item : menu->actions()) {
        if (item->text().startsWith(prefix)) {
            item->trigger();
            return true;
        }
    }
    return false;
}

// The amp's status codes among the bytes of a message, as "7C", or "7E" for its Identity Reply.
QString codeOf(const QStringList& bytes) {
    if (bytes.size() > 7 && bytes[0] == "F0" && bytes[1] == "7E") return "7E";
    if (bytes.size() > 7 && bytes[0] == "F0" && bytes[1] == "00") return bytes[6];
    return {};
}

// What the amp sent, as its transcript has it ("-> packet 3 accepted: F0 00 ... (after 5 ms)").
QString answers(const QString& transcript) {
    QStringList codes;
    for (const QString& line : transcript.split('\n')) {
        if (!line.startsWith("-> ")) continue;
        const QString code = codeOf(line.section(": ", 1).section(" (after", 0, 0).split(' ', Qt::SkipEmptyParts));
        if (!code.isEmpty()) codes << code;
    }
    return codes.join(' ');
}

// What the amp received of the upload: "header, 9 packets (1 malformed)".
QString received(const QString& transcript) {
    int packets = 0, malformed = 0;
    bool header = false;
    for (const QString& line : transcript.split('\n')) {
        if (line.startsWith("<- header")) header = true;
        if (!line.startsWith("<- packet ")) continue;
        ++packets;
        if (line.contains("malformed")) ++malformed;
    }
    return QString("%1%2 packets (%3 malformed)").arg(header ? "header, " : "").arg(packets).arg(malformed);
}

// What the receive log holds of the amp's messages (its lines are the received bytes).
QString logged(const QString& memo) {
    QStringList codes;
    for (const QString& line : memo.split('\n')) {
        const QString code = codeOf(line.split(' ', Qt::SkipEmptyParts));
        if (!code.isEmpty()) codes << code;
    }
    return codes.join(' ');
}

// The receive log's lines that say an answer did not arrive and which reply stood in for it.
QString standIns(const QString& memo) {
    QStringList lines;
    for (const QString& line : memo.split('\n')) {
        if (line.contains("did not arrive")) lines << line.trimmed();
    }
    return lines.join(" / ");
}

// The log file's lines of the latest start of the window (each start begins with "--- ").
QString thisRunsLog(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QString text = QString::fromUtf8(file.readAll());
    return text.mid(text.lastIndexOf("--- "));
}

struct Run {
    bool completed = false;
    QString detail;
};

class Bench {
public:
    Bench(QString way, QString sim, int packets) : way_(std::move(way)), sim_(std::move(sim)), packets_(packets) {}

    Run run(int number) {
        QTemporaryDir dir;
        tools::FirmwareOptions firmware;
        firmware.version = 0x00020803;
        firmware.packetCount = static_cast<std::uint32_t>(packets_);
        firmware.packetDataLength = 2048;
        const QString file = dir.filePath("fw-02.83.syx");
        tools::writeFile(file.toStdString(), tools::makeFirmware(firmware));

        const bool wizard = way_ == "wizard";
        const QString name = QString("KALDO Load %1 %2").arg(QCoreApplication::applicationPid()).arg(number);
        QProcess amp;
        amp.setProcessChannelMode(QProcess::MergedChannels);
        amp.start(sim_, {"--name", name, "--revision", wizard ? "01.02" : "02.80", "--transcript"});
        QByteArray transcript;
        const auto readAmp = [&] {
            transcript += amp.readAll();
            return QString::fromUtf8(transcript);
        };
        if (!QTest::qWaitFor([&] { return readAmp().contains("kaldo-amp-sim ready"); }, kSlowMs)) {
            return {false, "the amp did not start: " + readAmp()};
        }

        QtClock clock;
        const QString ini = dir.filePath("kaldo-updater.INI");
        QFile(ini).open(QIODevice::WriteOnly);
        TForm1 form(TForm1::Environment{clock, midi::systemMidi("kaldo-updater"), Settings(ini.toStdString())});
        auto* wizardForm = new TForm3(form.host(), &form);
        auto* dialog = new TForm5(form.host(), &form);
        form.attachWindows(wizardForm, new TForm4(form.host(), &form), dialog);
        form.show();
        User user(form, file);

        Run result = wizard ? throughWizard(form, *wizardForm, *dialog, user, name) : fromMenu(form, name, file);
        if (result.completed) result.detail = standIns(thisRunsLog(form.logFilePath()));
        if (!result.completed) {
            result.detail += " | said: " + user.said.join(" / ") + " | status rows: " + user.statuses.join(" / ") +
                             " | amp got: " + received(readAmp()) + " | amp sent: " + answers(readAmp()) +
                             " | log holds: " + logged(thisRunsLog(form.logFilePath()));
        }
        amp.terminate();
        amp.waitForFinished(10000);
        return result;
    }

private:
    Run fromMenu(TForm1& form, const QString& name, const QString& file) {
        if (!pick(form.Out1, name + " In") || !pick(form.In1, name + " Out")) return {false, "ports not listed"};
        form.updater->ReadFile(file.toStdString());
        form.UploadCode1->trigger();
        const UploadResult& r = form.lastUpload();
        return {r.outcome == UploadOutcome::Completed,
                QString("outcome %1, failure %2").arg(static_cast<int>(r.outcome)).arg(static_cast<int>(r.failure))};
    }

    Run throughWizard(TForm1& form, TForm3& w, TForm5& dialog, User& user, const QString& name) {
        form.UpdateWizard1->trigger();  // Run > Update Wizard
        if (!QTest::qWaitFor([&] { return w.isVisible(); }, kSlowMs)) return {false, "no wizard"};
        w.ComboBox5->setCurrentIndex(1);  // USB
        emit w.ComboBox5->activated(1);
        click(w.Shape1);
        click(w.Shape1);
        if (!pick(w.ComboBox1, name + " In") || !pick(w.ComboBox6, name + " Out")) return {false, "ports not listed"};
        click(w.Shape1);
        // The test, again when no answer came, as a user would.
        bool answered = false;
        for (int test = 0; test < 3 && !answered; ++test) {
            click(w.Shape2);
            answered = QTest::qWaitFor([&] { return w.Label3->text().endsWith("01.02"); }, 5000);
        }
        if (!answered) return {false, "the test page: no revision after three tests"};
        click(w.Shape1);  // the file, then the start page
        click(w.Shape1);  // the first stage
        if (!w.Label1->text().startsWith("First stage complete!")) return {false, "first stage: " + w.Label1->text()};
        click(w.Shape1);
        if (!pick(w.ComboBox1, name + " In") || !pick(w.ComboBox6, name + " Out")) return {false, "ports gone"};
        click(w.Shape1);  // the final stage
        if (!w.Label1->text().startsWith("Final stage complete!")) return {false, "final stage: " + w.Label1->text()};
        user.closeDialogs = false;
        QString confirmed;
        QTimer::singleShot(0, &dialog, [&] {
            dialog.ComboBox1Enter();
            dialog.ComboBox2Enter();
            if (pick(dialog.ComboBox1, name + " In") && pick(dialog.ComboBox2, name + " Out")) click(dialog.Shape1);
            confirmed = dialog.Label1->text();
            dialog.close();
        });
        form.dialogPortSelection("Now select the MIDI device.", true);
        return {confirmed == "Success, new code rev is confirmed. Rock On!", "confirmation: " + confirmed};
    }

    QString way_;
    QString sim_;
    int packets_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s menu|wizard RUNS SIM [PACKETS]\n", argv[0]);
        return 2;
    }
    const int runs = std::atoi(argv[2]);
    Bench bench(argv[1], argv[3], argc > 4 ? std::atoi(argv[4]) : 12);
    int completed = 0;
    for (int i = 1; i <= runs; ++i) {
        const Run run = bench.run(i);
        if (run.completed) ++completed;
        const QString detail = run.detail.isEmpty() ? QString() : (run.completed ? " (" + run.detail + ")" : ": " + run.detail);
        std::printf("run %d: %s%s\n", i, run.completed ? "completed" : "FAILED", qPrintable(detail));
        std::fflush(stdout);
    }
    std::printf("%s: %d of %d completed\n", argv[1], completed, runs);
    return 0;
}
