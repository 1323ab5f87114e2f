#include "QtClock.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace kaldo {

namespace {
constexpr int kHeartbeatMs = 5;
}

QtClock::QtClock() {
    clock_.start();
    heartbeat_.setInterval(kHeartbeatMs);
    heartbeat_.setTimerType(Qt::PreciseTimer);
    connect(&heartbeat_, &QTimer::timeout, this, &QtClock::onHeartbeat);
}

std::int64_t QtClock::nowMs() { return clock_.elapsed(); }

void QtClock::pump() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtClock::pause(int ms) { wait(ms, false); }

void QtClock::waitForNotify(int ms) { wait(ms, true); }

void QtClock::wait(int ms, bool stopOnNotify) {
    if (stopOnNotify && notified_.exchange(false)) return;
    if (ms <= 0) {
        pump();
        return;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    QEventLoop* outer = waitingLoop_;
    if (stopOnNotify) waitingLoop_ = &loop;
    loop.exec();
    waitingLoop_ = outer;
    if (stopOnNotify) notified_ = false;
}

void QtClock::notify() {
    notified_ = true;
    // Wakes the waiting loop on the window thread, whichever thread the reply came from. A wake that
    // was already consumed (the flag is down again) must not cut a later wait short.
    QMetaObject::invokeMethod(this, [this] {
        if (waitingLoop_ && notified_) waitingLoop_->quit();
    }, Qt::QueuedConnection);
}

void QtClock::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtClock::startStallMeasure() {
    longestStall_ = 0;
    lastBeat_ = clock_.elapsed();
    heartbeat_.start();
}

void QtClock::stopStallMeasure() { heartbeat_.stop(); }

void QtClock::onHeartbeat() {
    const std::int64_t now = clock_.elapsed();
    const int stall = static_cast<int>(now - lastBeat_) - kHeartbeatMs;
    if (stall > longestStall_) longestStall_ = stall;
    lastBeat_ = now;
}

}  // namespace kaldo
