#pragma once
// The engine's clock on the window thread of the desktop program: every pause and wait runs a nested
// event loop, so menus, timers, the cancel button and posted replies are handled while the engine
// waits, and the window never freezes.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>

#include "Clock.h"

class QEventLoop;

namespace kaldo {

class QtClock : public QObject, public Clock {
    Q_OBJECT

public:
    QtClock();

    std::int64_t nowMs() override;
    void pump() override;
    void pause(int ms) override;
    void waitForNotify(int ms) override;
    void notify() override;
    void post(std::function<void()> fn) override;

    // The longest time the window thread went without handling its events since measuring began, in
    // milliseconds: a fine heartbeat timer measures it, so any blocking work on the window thread
    // shows up here. Off unless a bench starts it: a timer every 5 ms costs an idle program its
    // sleep.
    int longestStallMs() const { return longestStall_; }
    void startStallMeasure();
    void stopStallMeasure();

private:
    void wait(int ms, bool stopOnNotify);
    void onHeartbeat();

    QElapsedTimer clock_;
    QTimer heartbeat_;
    std::int64_t lastBeat_ = 0;
    int longestStall_ = 0;
    std::atomic<bool> notified_{false};
    QEventLoop* waitingLoop_ = nullptr;
};

}  // namespace kaldo
