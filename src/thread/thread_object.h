// ThreadObject: the common part of LoopThread and TaskThread. A thread object owns
// one system thread and talks to it only through flag words that each side polls
// with 1 ms sleeps; there are no events or condition variables.
#pragma once

#include "platform/handle_traits_win32.h"

#include <atomic>
#include <cstdint>

namespace zrk {

// A thread's work; the argument is the value given by setArgument.
using ThreadStep = void (*)(uintptr_t argument);

class ThreadObject {
public:
    ThreadObject() = default;
    virtual ~ThreadObject();
    ThreadObject(const ThreadObject&) = delete;
    ThreadObject& operator=(const ThreadObject&) = delete;

    // The thread body; runs on the object's own thread.
    virtual void run() = 0;
    // Every field back to its initial value.
    virtual void resetFields();
    // Pauses, ends the loop, waits for the thread to end and resets the object,
    // which begin() can then use again.
    virtual void stop();
    // create(), then setStep(step) if that succeeded. 1 on success, 0 otherwise.
    virtual int begin(ThreadStep step);
    // Creates the thread (paused) and waits until its loop runs. 0 if a thread
    // exists already or the system cannot create one.
    virtual int create();
    virtual void setStep(ThreadStep step) = 0;
    virtual int start() = 0;
    // Returns once no step is running and the loop has seen the pause.
    virtual int pause();
    // Ends the thread at once. 0 (and nothing changed) when there is no thread or
    // the system refuses.
    virtual int terminate();
    virtual void setArgument(uintptr_t value) = 0;
    virtual int priority();
    virtual int setPriority(int value);

    bool hasThread() const { return bool(handle_); }

protected:
    // Polls until `flag` holds `value`, sleeping 1 ms between looks.
    static void waitFor(const std::atomic<uint32_t>& flag, uint32_t value);
    // Ends the calling thread through the run-time library (exit code 0).
    [[noreturn]] static void endThread();

    ThreadHandle handle_;
    unsigned threadId_ = 0;
    std::atomic<uint32_t> running_{0};
    std::atomic<uint32_t> alive_{1};
    std::atomic<uint32_t> paused_{1};
    std::atomic<uint32_t> busy_{0};
};

} // namespace zrk
