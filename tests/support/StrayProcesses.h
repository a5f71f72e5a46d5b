#pragma once

#include <QStringList>

#include <gtest/gtest.h>

#include <optional>
#include <sys/types.h>

// Processes a test started that outlive it. Each test process takes in the
// orphans among its descendants (a detached start's process comes back to
// it), so a test can watch one end and see how, and whatever a test left
// running is ended before the next starts: nothing a test started holds
// ctest's output once the test is over.
namespace StrayProcesses {
// Call once, first thing in main.
void adoptOrphans();

// The wait status of this process's child `pid` once it ends within `ms`;
// none while it still runs. Only for a child no QProcess waits for (one
// taken in from a detached start).
std::optional<int> awaitChild(pid_t pid, int ms);

// Ends what outlived its test and says what each was: the children taken
// in from a detached start, and any child running one of this build's
// programs (the app, its agent, a copy of the test binary). Adopted ones
// that already ended are reaped without a word.
QStringList endStrays();
}

// Fails the test that left a process running, naming it.
class StrayProcessCheck : public ::testing::EmptyTestEventListener
{
public:
    void OnTestEnd(const ::testing::TestInfo&) override;
};
