#pragma once
// kaldo-flash upload FILE --all: every amp that answers on the line gets the file at once. Each has an
// engine of its own (AmpUpload) on a thread of its own: the upload is a sequence that pauses and waits
// on its engine's clock, as the desktop program's window thread does, so side by side they need a
// thread each; driven together on one thread every engine would have to be turned inside out into a
// state machine. Nothing is shared between them but the terminal (SharedConsole) and the run's one
// sleep guard. Ctrl-C stops every amp after its packet in flight.
#include "AmpUpload.h"
#include "ExitStatus.h"
#include "MidiDevices.h"

namespace kaldo::cli {

// The exit status: the worst of the amps' (failed, terminated, declined, completed in that order); 1
// when no amp answered.
int uploadToAllAmps(const UploadOptions& options, MidiSystem midi);

}  // namespace kaldo::cli
