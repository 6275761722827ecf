// LoopThread and TaskThread: the polled start/pause/stop protocol on real threads.
#include "thread/loop_thread.h"
#include "thread/task_thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace zrk {
namespace {

struct StepLog {
    std::atomic<int> entered{0};
    std::atomic<int> finished{0};
    std::atomic<int> holdMs{0};       // how long each step takes
    std::atomic<int> blockForever{0}; // the step never returns (for terminate)
    std::atomic<uintptr_t> lastArgument{0};
};

StepLog* logOf(uintptr_t argument) { return reinterpret_cast<StepLog*>(argument); }

void loggingStep(uintptr_t argument) {
    StepLog* log = logOf(argument);
    log->lastArgument = argument;
    ++log->entered;
    if (log->holdMs.load() > 0) Sleep(DWORD(log->holdMs.load()));
    while (log->blockForever.load()) Sleep(1);
    ++log->finished;
}

void otherStep(uintptr_t argument) { logOf(argument)->finished += 100; }

// Polls for a condition the other thread is expected to bring about; gives up
// after a generous bound so a fault fails the test instead of hanging it.
template <typename Condition> bool eventually(Condition condition) {
    for (int i = 0; i < 5000; ++i) {
        if (condition()) return true;
        Sleep(1);
    }
    return condition();
}

template <typename T> class ThreadObjects : public ::testing::Test {};
using Kinds = ::testing::Types<LoopThread, TaskThread>;
TYPED_TEST_SUITE(ThreadObjects, Kinds);

TYPED_TEST(ThreadObjects, StartWithoutStepReturnsZeroAndRunsNothing) {
    TypeParam thread;
    EXPECT_EQ(thread.start(), 0);  // no thread, no step
    ASSERT_EQ(thread.create(), 1);
    EXPECT_EQ(thread.start(), 0);  // a thread, still no step
    EXPECT_TRUE(thread.hasThread());
}

TYPED_TEST(ThreadObjects, CreateTwiceReturnsZeroAndKeepsTheThread) {
    StepLog log;
    TypeParam thread;
    ASSERT_EQ(thread.begin(loggingStep), 1);
    EXPECT_EQ(thread.create(), 0);
    EXPECT_EQ(thread.begin(loggingStep), 0);
    thread.setArgument(reinterpret_cast<uintptr_t>(&log));
    ASSERT_EQ(thread.start(), 1);
    EXPECT_TRUE(eventually([&] { return log.entered.load() >= 1; }));
    thread.pause();
    EXPECT_EQ(log.lastArgument.load(), reinterpret_cast<uintptr_t>(&log));
}

TYPED_TEST(ThreadObjects, PauseWaitsForTheRunningStep) {
    StepLog log;
    log.holdMs = 50;
    TypeParam thread;
    ASSERT_EQ(thread.begin(loggingStep), 1);
    thread.setArgument(reinterpret_cast<uintptr_t>(&log));
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(eventually([&] { return log.entered.load() >= 1; }));
    thread.pause();
    // The step was still sleeping when pause began; it must have returned by now,
    // and no further step may start while paused.
    const int finished = log.finished.load();
    EXPECT_EQ(finished, log.entered.load());
    Sleep(20);
    EXPECT_EQ(log.entered.load(), finished);
    // Pausing a paused object returns at once.
    EXPECT_EQ(thread.pause(), 1);
}

TYPED_TEST(ThreadObjects, StopAndTerminateLeaveAReusableObject) {
    StepLog log;
    TypeParam thread;
    thread.stop();  // never had a thread: returns at once
    EXPECT_FALSE(thread.hasThread());

    ASSERT_EQ(thread.begin(loggingStep), 1);
    thread.setArgument(reinterpret_cast<uintptr_t>(&log));
    ASSERT_EQ(thread.start(), 1);
    thread.stop();
    EXPECT_FALSE(thread.hasThread());
    EXPECT_EQ(thread.start(), 0);  // the step was reset too

    ASSERT_EQ(thread.begin(otherStep), 1);
    thread.setArgument(reinterpret_cast<uintptr_t>(&log));
    ASSERT_EQ(thread.start(), 1);
    EXPECT_TRUE(eventually([&] { return log.finished.load() >= 100; }));

    // A step that never returns can only be ended by force.
    StepLog stuck;
    stuck.blockForever = 1;
    ASSERT_EQ(thread.pause(), 1);
    thread.setStep(loggingStep);
    thread.setArgument(reinterpret_cast<uintptr_t>(&stuck));
    ASSERT_EQ(thread.start(), 1);
    ASSERT_TRUE(eventually([&] { return stuck.entered.load() == 1; }));
    EXPECT_EQ(thread.terminate(), 1);
    EXPECT_FALSE(thread.hasThread());
    EXPECT_EQ(thread.terminate(), 0);  // nothing left to end

    StepLog again;
    ASSERT_EQ(thread.begin(loggingStep), 1);
    thread.setArgument(reinterpret_cast<uintptr_t>(&again));
    ASSERT_EQ(thread.start(), 1);
    EXPECT_TRUE(eventually([&] { return again.finished.load() >= 1; }));
    thread.pause();
}

TYPED_TEST(ThreadObjects, PriorityIsTheThreads) {
    TypeParam thread;
    ASSERT_EQ(thread.create(), 1);
    EXPECT_NE(thread.setPriority(THREAD_PRIORITY_BELOW_NORMAL), 0);
    EXPECT_EQ(thread.priority(), THREAD_PRIORITY_BELOW_NORMAL);
}

TEST(TaskThread, StartReturnsAfterPickUpAndRunsTheStepOncePerStart) {
    StepLog log;
    TaskThread thread;
    ASSERT_EQ(thread.begin(loggingStep), 1);
    thread.setArgument(reinterpret_cast<uintptr_t>(&log));
    for (int run = 1; run <= 5; ++run) {
        ASSERT_EQ(thread.start(), 1);
        // Picked up: the step comes without any further request.
        ASSERT_TRUE(eventually([&] { return log.finished.load() == run; }));
        // The loop paused itself: no second run of the same start.
        Sleep(10);
        EXPECT_EQ(log.entered.load(), run);
    }
}

TEST(TaskThread, StartAfterTheStepEndedRunsAgainWithoutWaitingForPause) {
    // Many quick starts back to back: each must be taken exactly once, never lost.
    StepLog log;
    TaskThread thread;
    ASSERT_EQ(thread.begin(loggingStep), 1);
    thread.setArgument(reinterpret_cast<uintptr_t>(&log));
    for (int run = 0; run < 50; ++run) ASSERT_EQ(thread.start(), 1);
    thread.pause();
    EXPECT_EQ(log.finished.load(), 50);
}

TEST(LoopThread, StepRepeatsUntilPaused) {
    StepLog log;
    LoopThread thread;
    ASSERT_EQ(thread.begin(loggingStep), 1);
    thread.setArgument(reinterpret_cast<uintptr_t>(&log));
    ASSERT_EQ(thread.start(), 1);
    EXPECT_TRUE(eventually([&] { return log.finished.load() >= 5; }));
    thread.pause();
    const int count = log.entered.load();
    Sleep(10);
    EXPECT_EQ(log.entered.load(), count);
}

} // namespace
} // namespace zrk
