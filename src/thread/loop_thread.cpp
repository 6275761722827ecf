// LoopThread: the step runs on every 1 ms pass while the thread is not paused.
#include "thread/loop_thread.h"

namespace zrk {

LoopThread::~LoopThread() { stop(); }

void LoopThread::run() {
    running_ = 1;
    while (alive_.load() == 1) {
        if (paused_.load() == 0) {
            busy_ = 1;
            step_.load()(argument_.load());
        } else {
            busy_ = 0;
        }
        Sleep(1);
    }
    running_ = 0;
    endThread();
}

void LoopThread::resetFields() {
    ThreadObject::resetFields();
    argument_ = 0;
    step_ = nullptr;
}

void LoopThread::setStep(ThreadStep step) {
    pause();
    step_ = step;
}

int LoopThread::start() {
    if (step_.load() == nullptr) return 0;
    pause();
    paused_ = 0;
    if (running_.load() == 1) waitFor(busy_, 1);
    return 1;
}

void LoopThread::setArgument(uintptr_t value) { argument_ = value; }

} // namespace zrk
