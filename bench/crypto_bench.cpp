// Google Benchmark of the SHA-512 forms, the twist forms and the stream cipher.
#include <benchmark/benchmark.h>

#include <vector>

#include "crypto/mersenne_twister.h"
#include "crypto/sha512.h"
#include "crypto/stream_cipher.h"

namespace {

// Long runs of blocks, and 256-byte calls as the cipher makes them.
void sha512Form(benchmark::State& state, zrk::Sha512BlockFunction function, size_t bytes) {
    std::vector<unsigned char> data(bytes, 0x5a);
    uint64_t hash[8] = {};
    for (auto _ : state) {
        function(hash, data.data(), data.size() / 128);
        benchmark::DoNotOptimize(hash);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}

void twistForm(benchmark::State& state, zrk::TwistFunction function) {
    uint32_t mt[625] = {1}, out[624];
    for (auto _ : state) {
        function(mt, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 624 * 4);
}

void cipherDecrypt(benchmark::State& state) {
    std::vector<unsigned char> data(size_t(state.range(0)), 0x33);
    zrk::StreamCipher cipher;
    cipher.setPassword(0, "benchmark");
    for (auto _ : state) {
        cipher.decrypt(data.data(), int32_t(data.size()));
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(cipherDecrypt)->Arg(4 << 20);

void cipherSetKey(benchmark::State& state) {
    zrk::StreamCipher cipher;
    unsigned char record[96] = {};
    for (auto _ : state) cipher.setKey("benchmark", record, 96);
}
BENCHMARK(cipherSetKey);

const bool registered = [] {
    for (const auto& form : zrk::sha512BlockForms())
        if (form.supported) {
            benchmark::RegisterBenchmark((std::string("sha512/") + form.name).c_str(), sha512Form, form.function, 65536);
            benchmark::RegisterBenchmark((std::string("sha512_256B/") + form.name).c_str(), sha512Form, form.function, 256);
        }
    for (const auto& form : zrk::twistForms())
        if (form.supported) benchmark::RegisterBenchmark((std::string("twist/") + form.name).c_str(), twistForm, form.function);
    return true;
}();

} // namespace
