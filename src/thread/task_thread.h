// TaskThread: runs its step once per start, then pauses itself.
#pragma once

#include "thread/thread_object.h"

namespace zrk {

class TaskThread : public ThreadObject {
public:
    TaskThread() = default;
    ~TaskThread() override;

    void run() override;
    void resetFields() override;
    // pause(), then store the step.
    void setStep(ThreadStep step) override;
    // 0 when no step is set; otherwise returns once the loop has taken the request.
    int start() override;
    void setArgument(uintptr_t value) override;

private:
    std::atomic<uint32_t> pickedUp_{0};
    std::atomic<uintptr_t> argument_{0};
    std::atomic<ThreadStep> step_{nullptr};
};

} // namespace zrk
