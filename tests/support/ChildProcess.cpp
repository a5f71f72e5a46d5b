#include "ChildProcess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstring>

ChildProcess::ChildProcess()
{
    QObject::connect(&m_process, &QProcess::errorOccurred, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            m_failedToStart = true;
    });
}

ChildProcess::~ChildProcess()
{
    kill();
}

void ChildProcess::startTestCase(const QString& testCase, const QProcessEnvironment& env)
{
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_also_run_disabled_tests"), QStringLiteral("--gtest_filter=") + testCase});
}

void ChildProcess::readAvailable()
{
    m_output += m_process.readAll();
}

const QByteArray& ChildProcess::output()
{
    readAvailable();
    return m_output;
}

bool ChildProcess::take(const QByteArray& word, bool ended)
{
    readAvailable();
    for (;;) {
        qsizetype end = m_output.indexOf('\n', m_cursor);
        if (end < 0) {
            if (!ended || m_cursor >= m_output.size())
                return false;
            end = m_output.size();
        }
        const bool heard = m_output.sliced(m_cursor, end - m_cursor).startsWith(word);
        m_cursor = std::min(end + 1, m_output.size());
        if (heard)
            return true;
    }
}

bool ChildProcess::said(const QByteArray& word, int ms)
{
    bool heard = false;
    (void)QTest::qWaitFor([&] {
        // Seen ended before the read: the process hands over everything it
        // wrote before it reports its end, so this read is its last word.
        const bool ended = m_process.state() == QProcess::NotRunning;
        heard = take(word, ended);
        return heard || ended;
    }, ms);
    return heard;
}

bool ChildProcess::finished(int ms)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms);
}

bool ChildProcess::endsWithin(int ms)
{
    if (m_process.state() != QProcess::NotRunning) {
        QEventLoop loop;
        QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return m_process.state() == QProcess::NotRunning;
}

bool ChildProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return false;
    m_process.kill();
    // SIGKILL ends it at once; this is the reaping, bounded all the same.
    m_process.waitForFinished(30000);
    return killed();
}

bool ChildProcess::catches(int signal, int ms)
{
    return QTest::qWaitFor([&] { return handlesSignal(m_process, signal) || m_process.state() == QProcess::NotRunning; }, ms)
        && handlesSignal(m_process, signal);
}

bool ChildProcess::exitedCleanly() const
{
    return !m_failedToStart && m_process.state() == QProcess::NotRunning
        && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool ChildProcess::killed() const
{
    // QProcess keeps the ending signal as the exit code of a crash exit.
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::CrashExit
        && m_process.exitCode() == SIGKILL;
}

std::string ChildProcess::ending() const
{
    if (m_failedToStart)
        return "never started: " + m_process.errorString().toStdString();
    if (m_process.state() != QProcess::NotRunning)
        return "still running";
    if (m_process.exitStatus() == QProcess::NormalExit)
        return "exited with code " + std::to_string(m_process.exitCode());
    const int signal = m_process.exitCode();
    return "ended by signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

bool handlesSignal(const QProcess& process, int signal)
{
    if (process.state() != QProcess::Running)
        return false;
    QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}
