// The desktop program as it starts on this platform, measured: the main window made as main.cpp makes
// it (this system's MIDI, a fresh settings file, so the wizard opens as at a first start), then the
// place and size of every control of the main window's client area and of the wizard's first page, one
// line each, and what the status rows and the device menus say. Run on two platforms, the layouts must
// agree within a few pixels, which tools/run-windows-tests.sh checks between Linux and Windows.
//
//   kaldo_window_layout [--pictures FOLDER] [--against LAYOUT]
//
// --pictures saves both windows as PNG; --against compares with a layout another platform printed and
// exits 1 when a control differs by more than kTolerance pixels or shows on one platform only.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "CarriedFonts.h"
#include "QtClock.h"
#include "Settings.h"
#include "SystemMidi.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TStatusBar.h"
#include "Utf8.h"

using namespace kaldo;

namespace {

constexpr int kTolerance = 4;
const QString kTextWide = "(text-wide)";

struct Place {
    QRect rect;
    bool shown = false;
};
using Layout = std::map<QString, Place>;

// The direct child widgets of window, each by its object name, or its class and its number among
// the children of that class when it has none.
void measure(const QString& windowName, QWidget* window, Layout& layout) {
    std::map<QString, int> counts;
    for (QObject* child : window->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow()) continue;
        QString name = widget->objectName();
        if (name.isEmpty()) {
            const QString kind = widget->metaObject()->className();
            name = QString("%1#%2").arg(kind).arg(++counts[kind]);
        }
        // A link is as wide as its text in the font each platform draws it in: its width is not compared.
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->text().startsWith("<a ")) name += kTextWide;
        layout[windowName + "/" + name] = {widget->geometry(), widget->isVisibleTo(window)};
    }
    layout[windowName + "/size"] = {QRect(QPoint(), window->size()), true};
}

QString line(const QString& key, const Place& place) {
    const QRect& r = place.rect;
    return QString("%1 %2 %3 %4 %5 %6")
        .arg(key)
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .arg(place.shown ? "shown" : "hidden");
}

// A layout as printed: key x y w h shown|hidden; any other line is a remark.
Layout read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    Layout layout;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(' ');
        if (f.size() != 6 || (f[5] != "shown" && f[5] != "hidden")) continue;
        layout[f[0]] = {QRect(f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4].toInt()), f[5] == "shown"};
    }
    return layout;
}

// Every control that one layout has and the other lacks, or that differs in showing or by more than
// kTolerance pixels in any of its four numbers (a link's width aside).
QStringList differences(const Layout& ours, const Layout& theirs) {
    QStringList found;
    for (const auto& [key, place] : ours) {
        const auto it = theirs.find(key);
        if (it == theirs.end()) {
            found << "only here: " + line(key, place);
            continue;
        }
        const QRect& a = place.rect;
        const QRect& b = it->second.rect;
        const bool near = std::abs(a.x() - b.x()) <= kTolerance && std::abs(a.y() - b.y()) <= kTolerance &&
                          (key.endsWith(kTextWide) || std::abs(a.width() - b.width()) <= kTolerance) &&
                          std::abs(a.height() - b.height()) <= kTolerance;
        if (!near || place.shown != it->second.shown)
            found << "here: " + line(key, place) + "  there: " + line(key, it->second);
    }
    for (const auto& [key, place] : theirs)
        if (!ours.contains(key)) found << "only there: " + line(key, place);
    return found;
}

QStringList menuTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions())
        if (!action->isSeparator()) texts << action->text();
    return texts;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    addCarriedFonts();
    QString pictures, against;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString option = argv[i];
        if (option == "--pictures") pictures = QString::fromLocal8Bit(argv[i + 1]);
        if (option == "--against") against = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir home;
    QtClock clock;
    TForm1::Environment env{clock, midi::systemMidi("kaldo-window-layout"),
                            Settings(pathFromUtf8(home.filePath("kaldo-updater.INI").toStdString()))};
    TForm1 form1(env);
    auto* form3 = new TForm3(form1.host(), &form1);
    auto* form4 = new TForm4(form1.host(), &form1);
    auto* form5 = new TForm5(form1.host(), &form1);
    form1.attachWindows(form3, form4, form5);
    form1.show();
    // A first start opens the wizard shortly after the main window.
    QElapsedTimer waited;
    waited.start();
    while (!form3->isVisible() && waited.elapsed() < 20000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!form3->isVisible()) {
        std::fprintf(stderr, "kaldo_window_layout: the wizard did not open\n");
        return 2;
    }
    QApplication::processEvents();

    Layout layout;
    measure("main", form1.client(), layout);
    measure("wizard", form3, layout);
    QTextStream out(stdout);
    out << "# platform " << QGuiApplication::platformName() << ", style " << QApplication::style()->name()
        << ", menu bar " << form1.size().height() - form1.client()->height() << " px\n";
    for (const auto& [key, place] : layout) out << line(key, place) << "\n";
    for (auto [name, bar] : {std::pair{"status1", form1.StatusBar1}, std::pair{"status2", form1.StatusBar2}})
        for (int i = 0; i < bar->panelCount(); ++i)
            if (!bar->text(i).isEmpty()) out << "# " << name << "/" << i << ": " << bar->text(i) << "\n";
    out << "# out: " << menuTexts(form1.Out1).join(" | ") << "\n";
    out << "# in: " << menuTexts(form1.In1).join(" | ") << "\n";
    out.flush();

    if (!pictures.isEmpty()) {
        QDir().mkpath(pictures);
        form1.grab().save(pictures + "/main-window.png");
        form3->grab().save(pictures + "/wizard-welcome.png");
    }
    int status = 0;
    if (!against.isEmpty()) {
        const Layout theirs = read(against);
        if (theirs.empty()) {
            std::fprintf(stderr, "kaldo_window_layout: no layout in %s\n", qPrintable(against));
            return 2;
        }
        const QStringList found = differences(layout, theirs);
        for (const QString& difference : found) std::fprintf(stderr, "%s\n", qPrintable(difference));
        status = found.isEmpty() ? 0 : 1;
    }
    return status;
}
