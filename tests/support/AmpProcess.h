#pragma once
// kaldo-amp-sim as a process of its own, for the tests over JACK. Ended with SIGTERM, so that it leaves
// JACK properly even when the test stops early (a killed client stalls the synchronous test server).
#include <QByteArray>
#include <QProcess>
#include <QString>

struct AmpProcess {
    QProcess process;
    QByteArray output;
    ~AmpProcess() {
        process.terminate();
        process.waitForFinished(10000);
    }
    QString transcript() {
        output += process.readAll();
        return QString::fromUtf8(output);
    }
};
