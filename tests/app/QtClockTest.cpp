// The desktop clock keeps the window thread's events flowing through pauses and waits, and brings work
// and wake-ups from other threads onto it.
#include <QTest>
#include <atomic>
#include <thread>

#include "QtClock.h"

using kaldo::QtClock;

class QtClockTest : public QObject {
    Q_OBJECT

private slots:
    void timersAndPostsRunDuringAPause() {
        QtClock clock;
        bool timerFired = false;
        bool postRan = false;
        QTimer::singleShot(0, this, [&] { timerFired = true; });
        clock.post([&] { postRan = true; });
        clock.pause(30);
        QVERIFY(timerFired);
        QVERIFY(postRan);
    }

    void aReplyFromAnotherThreadIsHandledOnTheWindowThreadAndEndsTheWait() {
        QtClock clock;
        std::atomic<bool> onWindowThread{false};
        std::atomic<bool> ran{false};
        std::thread input([&] {
            clock.post([&] {
                onWindowThread = QThread::currentThread() == qApp->thread();
                ran = true;
            });
            clock.notify();
        });
        // Ends as soon as the input thread's notify arrives (the bound only keeps a broken wake-up from
        // hanging the test); a notify that came before the wait ends it at once.
        clock.waitForNotify(60000);
        input.join();
        clock.pump();
        QVERIFY(ran);
        QVERIFY(onWindowThread);
    }

    void aWakeUpBeforeTheWaitIsNotLost() {
        QtClock clock;
        clock.notify();
        bool timerFired = false;
        QTimer::singleShot(0, this, [&] { timerFired = true; });
        clock.waitForNotify(60000);  // returns at once: the reply came before the wait began
        QVERIFY(!timerFired);
        clock.pump();
        QVERIFY(timerFired);
    }
};

QTEST_MAIN(QtClockTest)
#include "QtClockTest.moc"
