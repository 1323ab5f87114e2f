#pragma once
// Waiting for the amp to say who it is: the MIDI test and the wizard ask with an Identity Request and
// want to know, within a bounded time and with the windows live, whether the reply came.
#include "WizardHost.h"

namespace kaldo {

// Pumps until the reply handling has recorded an Identity Reply (replyCode 7E) or waitMs have passed.
// The caller clears replyCode before it sends the request. True when the reply came.
bool awaitIdentityReply(WizardHost& host, int waitMs);

}  // namespace kaldo
