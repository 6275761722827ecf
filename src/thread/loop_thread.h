// LoopThread: calls its step over and over while it is not paused.
#pragma once

#include "thread/thread_object.h"

namespace zrk {

class LoopThread : public ThreadObject {
public:
    LoopThread() = default;
    ~LoopThread() override;

    void run() override;
    void resetFields() override;
    // pause(), then store the step.
    void setStep(ThreadStep step) override;
    // 0 when no step is set; otherwise returns once the step has been entered.
    int start() override;
    void setArgument(uintptr_t value) override;

private:
    std::atomic<uintptr_t> argument_{0};
    std::atomic<ThreadStep> step_{nullptr};
};

} // namespace zrk
