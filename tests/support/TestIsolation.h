#pragma once

#include <QByteArray>
#include <QList>

#include <gtest/gtest.h>

#include <functional>

// Puts a test process back as it started after every case, so a binary run
// whole behaves as each case run alone: the private HOME/XDG folders are
// emptied, environment variables restored and the shared preference store
// cleared.
class TestIsolation : public ::testing::EmptyTestEventListener
{
public:
    // Takes the environment as it is now as the one every case starts from.
    TestIsolation();
    void OnTestEnd(const ::testing::TestInfo&) override;

    // Puts a process-wide object of one test binary back as a fresh process
    // has it; runs after the folders and the preference store are emptied.
    // Returns true, so a binary can register from a static initializer.
    static bool addReset(std::function<void()> reset);

private:
    QList<QByteArray> m_environment;
};
