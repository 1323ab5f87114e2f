#pragma once
// The wizard's connection test, its TEST button: each press moves the amp to the next of presets 1
// to 4, which the user sees change whatever the cable, and asks the amp who it is. On the USB path
// the amp's Identity Reply, or its absence, decides where the wizard goes next.
#include <string>

#include "WizardHost.h"

namespace kaldo {

class ConnectionTest {
public:
    explicit ConnectionTest(WizardHost& host) : host_(host) {}

    // The USB test page opens: nothing sent, no reply yet.
    void start();
    // One press of TEST.
    void send();
    // The preset number of the Program Change the last press sent: 1, 2, 3, 0, 1...
    int presetSent() const { return presetCounter_; }

    enum class Result { Answered, Silent, NotRun };
    struct Verdict {
        Result result;
        std::string revision;  // when Answered: "1.02" for the reported "01.02"
    };
    // What the test showed, as Next leaves the USB test page.
    Verdict verdict();

private:
    WizardHost& host_;
    bool sent_ = false;
    int presetCounter_ = 0;
};

}  // namespace kaldo
