#include "Program.h"

namespace kaldo {

// link refers to selection before selection is built; it only keeps the reference until it is used.
Program::Program(Clock& clock, std::shared_ptr<midi::MidiBackend> backendIn, const QString& executable)
    : form1(clock),
      backend(std::move(backendIn)),
      MidiOut1(backend),
      MidiIn1(backend),
      link(MidiOut1, selection),
      shows(clock),
      senders(&clock),
      updater(clock, form1, link, shows, senders),
      selection(*backend, MidiOut1, MidiIn1, form1, updater.memo),
      settings(Settings::forExecutable(executable.toStdString())),
      host(form1, clock, updater, selection, MidiOut1, MidiIn1, settings),
      form3(new TForm3(host, &form1)),
      form4(new TForm4(host, &form1)),
      form5(new TForm5(host, &form1)) {
    MidiIn1.OnSysEx = [this](midi::TMidiIn&, const std::uint8_t* bytes, int count) {
        updater.MidiIn1SysEx(bytes, static_cast<std::size_t>(count));
    };
    form1.attachWindows(form3, form4, form5);
}

// An upload still running when the window closes ends at its next pause or wait.
Program::~Program() { updater.requestStop(); }

}  // namespace kaldo
