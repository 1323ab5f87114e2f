#include "ConnectionTest.h"

namespace kaldo {

void ConnectionTest::start() {
    host_.clearAmpVersion();
    sent_ = false;
}

void ConnectionTest::send() {
    presetCounter_ = (presetCounter_ + 1) % 4;
    host_.Put2(kProgramChangeChannel1, static_cast<std::uint8_t>(presetCounter_));
    host_.flags().showVersionInWizard = true;
    host_.clearAmpVersion();
    host_.SysEx(kIdentityRequest.data(), kIdentityRequest.size());
    sent_ = true;
}

ConnectionTest::Verdict ConnectionTest::verdict() {
    if (const auto reply = host_.ampVersion()) {
        return {Result::Answered, reply->text.size() > 1 ? reply->text.substr(1, 4) : std::string()};
    }
    return {sent_ ? Result::Silent : Result::NotRun, {}};
}

}  // namespace kaldo
