// TaskThread: each start runs the step once; the loop then pauses itself.
#include "thread/task_thread.h"

namespace zrk {

TaskThread::~TaskThread() { stop(); }

void TaskThread::run() {
    running_ = 1;
    while (alive_.load() == 1) {
        if (paused_.load() == 0) {
            busy_ = 1;
            pickedUp_ = 1;
            step_.load()(argument_.load());
            paused_ = 1;
        } else {
            busy_ = 0;
        }
        Sleep(1);
    }
    running_ = 0;
    endThread();
}

void TaskThread::resetFields() {
    ThreadObject::resetFields();
    pickedUp_ = 0;
    argument_ = 0;
    step_ = nullptr;
}

void TaskThread::setStep(ThreadStep step) {
    pause();
    step_ = step;
}

int TaskThread::start() {
    if (step_.load() == nullptr) return 0;
    pause();
    // Cleared before the request is made: cleared after, it could wipe out the
    // loop's pick-up and leave start() waiting for ever.
    pickedUp_ = 0;
    paused_ = 0;
    if (running_.load() == 1) waitFor(pickedUp_, 1);
    pickedUp_ = 0;
    return 1;
}

void TaskThread::setArgument(uintptr_t value) { argument_ = value; }

} // namespace zrk
