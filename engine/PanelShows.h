#pragma once
// The front panel's lamp rings as the upload drives them: the sweeps and progress patterns. The
// Qt-free implementation over lamps lives in panel/; the engine only calls through this interface.
namespace kaldo {

class PanelShows {
public:
    virtual ~PanelShows() = default;

    virtual void lightOnly(int ring, int index) = 0;
    virtual void allOff(int ring) = 0;
    // Clears the upload display state (spinner indices and what each ring last showed).
    virtual void resetProgress() = 0;

    virtual void showOdometer(int tickCount) = 0;
    virtual void spinStep(int frameLength) = 0;
    virtual void spinRevolution(int frameLength) = 0;
    virtual void showPacketCount(int packet) = 0;
    virtual void flashVfyShow(int n) = 0;
    virtual void flashPrgShow(int n) = 0;
    virtual void flashIntermediateShow(int n) = 0;
};

}  // namespace kaldo
