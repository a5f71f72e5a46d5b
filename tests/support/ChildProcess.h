#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>

#include <string>

// A process a test starts and listens to. What it wrote counts once the test
// reads it, however long after the process ended: a word said just before
// the end is still heard. How it ended is told apart: a clean exit, the
// test's own SIGKILL, or anything else (a crash is never taken for a kill).
class ChildProcess
{
public:
    ChildProcess();
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // For the environment, the channels and the start.
    QProcess& process() { return m_process; }
    // Starts this test binary again to run only its disabled case `testCase`
    // ("Suite.DISABLED_Name") under `env`; its errors go to the test's own.
    void startTestCase(const QString& testCase, const QProcessEnvironment& env);

    // Waits for a line of its output starting with `word`, after the lines an
    // earlier call took. False when it ended, or `ms` passed, with no such line.
    bool said(const QByteArray& word, int ms);
    // All it wrote that was read so far.
    const QByteArray& output();

    // Waits for its end; true however long ago the end came.
    bool finished(int ms);
    // The same with this process's event loop running meanwhile, for a peer
    // the child talks to that lives in this process.
    bool endsWithin(int ms);
    // The test's SIGKILL, sent only while the process is ours to signal (a
    // pid already reaped may be another process's by now); waits for the end.
    // True when the kill is what ended it: false for a process that had
    // already ended on its own.
    bool kill();

    // Waits until it has a handler of its own for `signal`: far enough into
    // its start that the signal ends it the way it means to end.
    bool catches(int signal, int ms);

    bool exitedCleanly() const;
    // Ended by SIGKILL, whoever sent it.
    bool killed() const;
    // How it ended, or that it has not, in words for a failure message.
    std::string ending() const;

private:
    void readAvailable();
    // Takes the next whole lines from the cursor; with `ended`, the last
    // unterminated one too. True once a line starts with `word`.
    bool take(const QByteArray& word, bool ended);

    QProcess m_process;
    QByteArray m_output;
    qsizetype m_cursor = 0;
    bool m_failedToStart = false;
};

// Whether `process` runs with a handler of its own for `signal`.
bool handlesSignal(const QProcess& process, int signal);

// The next whole line `process` writes on its read channel (its last one
// when it ends without a newline); empty when it ended or `ms` passed first.
// Waits without an event loop, so it serves constructors of fixtures too.
inline QByteArray nextLine(QProcess& process, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!process.canReadLine() && process.state() != QProcess::NotRunning
           && process.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    if (process.canReadLine())
        return process.readLine();
    return process.state() == QProcess::NotRunning ? process.readAll() : QByteArray();
}
