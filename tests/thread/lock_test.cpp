// Lock: recursion on one thread and mutual exclusion between threads.
#include "thread/lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace zrk {
namespace {

TEST(Lock, RecursiveOnOneThread) {
    Lock lock;
    lock.enter();
    lock.enter();
    lock.leave();
    // Still held once: another thread must not get in yet.
    std::atomic<int> entered{0};
    std::thread other([&] {
        LockHolder hold(lock);
        entered = 1;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(entered.load(), 0);
    lock.leave();
    other.join();
    EXPECT_EQ(entered.load(), 1);
}

TEST(Lock, CountersStayExactUnderContention) {
    Lock lock;
    long counter = 0;  // deliberately not atomic: only the lock protects it
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                LockHolder hold(lock);
                counter = counter + 1;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(counter, 80000);
}

} // namespace
} // namespace zrk
