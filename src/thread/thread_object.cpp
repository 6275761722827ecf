// The shared half of the thread objects: creation through the run-time library,
// the polled pause/stop protocol and forced termination.
#include "thread/thread_object.h"

#include <process.h>

namespace zrk {

namespace {
unsigned __stdcall threadEntry(void* object) {
    static_cast<ThreadObject*>(object)->run();
    return 0;
}
} // namespace

ThreadObject::~ThreadObject() {
    // The derived destructors stop the thread while their fields still exist;
    // this only covers a base that was never given a thread.
    if (hasThread()) stop();
}

void ThreadObject::waitFor(const std::atomic<uint32_t>& flag, uint32_t value) {
    while (flag.load() != value) Sleep(1);
}

void ThreadObject::endThread() {
    _endthreadex(0);
    for (;;) Sleep(INFINITE);  // not reached; _endthreadex does not return
}

void ThreadObject::resetFields() {
    handle_.reset();
    threadId_ = 0;
    running_ = 0;
    alive_ = 1;
    paused_ = 1;
    busy_ = 0;
}

void ThreadObject::stop() {
    pause();
    alive_ = 0;
    if (hasThread()) {
        waitFor(running_, 0);
        handle_.reset();
    }
    resetFields();
}

int ThreadObject::begin(ThreadStep step) {
    if (!create()) return 0;
    setStep(step);
    return 1;
}

int ThreadObject::create() {
    if (hasThread()) return 0;
    // The run-time library's call, so its per-thread data exists for this thread.
    const uintptr_t handle = _beginthreadex(nullptr, 0, threadEntry, this, 0, &threadId_);
    if (handle == 0) return 0;
    handle_.reset(reinterpret_cast<HANDLE>(handle));
    waitFor(running_, 1);
    return 1;
}

int ThreadObject::pause() {
    paused_ = 1;
    if (running_.load() == 1) waitFor(busy_, 0);
    return 1;
}

int ThreadObject::terminate() {
    if (!hasThread()) return 0;
    if (!TerminateThread(handle_.get(), 0)) return 0;
    // TerminateThread returns before the thread is gone; wait so that a new
    // thread begun on this object cannot meet the old one.
    WaitForSingleObject(handle_.get(), INFINITE);
    handle_.reset();
    resetFields();
    return 1;
}

int ThreadObject::priority() { return GetThreadPriority(handle_.get()); }

int ThreadObject::setPriority(int value) { return SetThreadPriority(handle_.get(), value); }

} // namespace zrk
