#include "IdentityWait.h"

namespace kaldo {

bool awaitIdentityReply(WizardHost& host, int waitMs) {
    const std::int64_t end = host.nowMs() + waitMs;
    while (!host.takeReply(kReplyIdentity)) {
        if (host.nowMs() >= end) return false;
        host.pump();
    }
    return true;
}

}  // namespace kaldo
