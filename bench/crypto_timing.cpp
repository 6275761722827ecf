// Throughput of the SHA-512 forms, the twist and the stream cipher in processor
// time, for builds without Google Benchmark (the Windows build under Wine).
#include <cstdio>
#include <vector>

#include "cpu_clock.h"

#include "crypto/mersenne_twister.h"
#include "crypto/sha512.h"
#include "crypto/stream_cipher.h"

namespace {

// Best MB/s of three runs of at least `minSeconds` each; `step` processes `bytes` bytes.
template <class Step>
double megabytesPerSecond(size_t bytes, Step step, double minSeconds = 0.4) {
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        size_t done = 0;
        const double start = processCpuSeconds();
        double seconds = 0;
        // Reading the clock can cost a system call (under Wine, a server round trip):
        // read it only after batches that grow to a sizeable fraction of the run.
        size_t batch = 1;
        do {
            for (size_t i = 0; i < batch; ++i) step();
            done += bytes * batch;
            seconds = processCpuSeconds() - start;
            if (seconds < 0.05) batch *= 2;
        } while (seconds < minSeconds);
        if (done / seconds / 1e6 > best) best = done / seconds / 1e6;
    }
    return best;
}

} // namespace

int main() {
    std::vector<unsigned char> buffer(1 << 20);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<unsigned char>(i * 131);

    for (const auto& form : zrk::sha512BlockForms()) {
        if (!form.supported) continue;
        uint64_t state[8] = {};
        double rate = megabytesPerSecond(buffer.size(), [&] { form.function(state, buffer.data(), buffer.size() / 128); });
        // 256-byte calls: the cipher's refill.
        double refillRate = megabytesPerSecond(buffer.size(), [&] {
            for (size_t at = 0; at < buffer.size(); at += 256) form.function(state, buffer.data() + at, 2);
        });
        std::printf("sha512_%s_mbps=%.1f sha512_%s_256B_mbps=%.1f\n", form.name, rate, form.name, refillRate);
    }
    for (const auto& form : zrk::twistForms()) {
        if (!form.supported) continue;
        static uint32_t state[625], output[624];
        double rate = megabytesPerSecond(624 * 4, [&] { form.function(state, output); });
        std::printf("twist_%s_mbps=%.1f\n", form.name, rate);
    }
    zrk::StreamCipher cipher;
    cipher.setPassword(0, "benchmark");
    // The figure that goes into the ratio: long runs, since under Wine the process
    // clock advances in steps of 20 ms (5 % of a 0.4 s run).
    double rate =
        megabytesPerSecond(buffer.size(), [&] { cipher.decrypt(buffer.data(), int32_t(buffer.size())); }, 2.0);
    std::printf("cipher_decrypt_mbps=%.1f\n", rate);
    return 0;
}
