#pragma once
// kaldo-amp-sim as a process of its own, for the tests over JACK. Ended with SIGTERM, so that it leaves
// JACK properly even when the test stops early (a killed client stalls the synchronous test server).
// A test that crashes runs no destructor: the amp is then told by the kernel (SIGTERM at its parent's
// death), since an amp left behind keeps its ports on the shared server and fails every later test that
// counts the ports there.
#include <sys/prctl.h>
#include <unistd.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <csignal>

struct AmpProcess {
    QProcess process;
    QByteArray output;
    AmpProcess() {
        const pid_t parent = getpid();
        process.setChildProcessModifier([parent] {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(1);  // the parent died before the line above
        });
    }
    ~AmpProcess() {
        process.terminate();
        process.waitForFinished(10000);
    }
    QString transcript() {
        output += process.readAll();
        return QString::fromUtf8(output);
    }
};
