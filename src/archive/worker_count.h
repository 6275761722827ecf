// How many volumes an encrypted combine or split works on at once: one a core, no more
// than there are volumes, and at most kMaxWorkers, so that the blocks in flight (two a
// worker at the most) stay bounded on a machine of many cores: 128 MiB with 4 MiB blocks.
#pragma once

#include <cstdint>
#include <thread>

namespace zrk {

inline constexpr uint32_t kMaxWorkers = 16;

inline uint32_t workerCount(uint32_t volumes) {
    uint32_t cores = std::thread::hardware_concurrency();
    if (cores > kMaxWorkers) cores = kMaxWorkers;
    return cores < volumes ? cores : volumes;
}

} // namespace zrk
