#pragma once
// Waiting for the amp to say who it is: the MIDI test and the wizard ask with an Identity Request and
// want to know, within a bounded time and with the windows live, whether the reply came.
#include "WizardHost.h"

namespace kaldo {

// Pumps until the amp's Identity Reply (7E) has come or waitMs have passed, taking the replies that
// waited. The caller clears the replies before it sends the request. True when the reply came.
bool awaitIdentityReply(WizardHost& host, int waitMs);

}  // namespace kaldo
