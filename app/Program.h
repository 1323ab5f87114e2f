#pragma once
// The desktop program's parts for one run, built in the order they lean on each other: the main
// window, the MIDI ports and their selection, the engine, and the wizard with its two dialogs.
#include <QString>

#include <memory>

#include "MainWindowHost.h"
#include "MidiBackend.h"
#include "MidiSelection.h"
#include "RingShows.h"
#include "SelectedMidiLink.h"
#include "Settings.h"
#include "TForm1.h"
#include "TForm3.h"
#include "TForm4.h"
#include "TForm5.h"
#include "TMidiIn.h"
#include "TMidiOut.h"
#include "Threader.h"
#include "Updater.h"

namespace kaldo {

class Program {
public:
    Program(Clock& clock, std::shared_ptr<midi::MidiBackend> backend, const QString& executable);
    ~Program();

    TForm1 form1;
    std::shared_ptr<midi::MidiBackend> backend;
    midi::TMidiOut MidiOut1;
    midi::TMidiIn MidiIn1;
    midi::SelectedMidiLink link;
    RingShows shows;
    ThreaderFactory senders;
    Updater updater;
    midi::MidiSelection selection;
    Settings settings;
    MainWindowHost host;
    // Children of form1, which deletes them.
    TForm3* form3;
    TForm4* form4;
    TForm5* form5;
};

}  // namespace kaldo
