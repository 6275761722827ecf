// Test-only Stream that passes every call to another stream but fails its Nth read
// or write, or cuts it short, and counts the calls of a scenario so a test can walk
// N over all of them.
#pragma once

#include <cstdint>

#include "stream/stream.h"

namespace zrk::testing {

enum class Fault { None, FailRead, ShortRead, FailWrite, ShortWrite };

class FaultStream : public Stream {
public:
    explicit FaultStream(Stream& inner, Fault fault = Fault::None, int at = 0) : inner_(inner), fault_(fault), at_(at) {}

    int32_t read(void* buffer, uint32_t count) override {
        ++reads;
        if (hits(Fault::FailRead, Fault::ShortRead, reads)) {
            if (fault_ == Fault::FailRead || count == 0) return 0;
            return inner_.read(buffer, count / 2);
        }
        return inner_.read(buffer, count);
    }
    int32_t write(const void* buffer, uint32_t count) override {
        ++writes;
        if (hits(Fault::FailWrite, Fault::ShortWrite, writes)) {
            if (fault_ == Fault::FailWrite || count == 0) return 0;
            return inner_.write(buffer, count / 2);
        }
        return inner_.write(buffer, count);
    }
    int seek(uint64_t position) override { return inner_.seek(position); }
    uint64_t tell() override { return inner_.tell(); }

    // Whether the chosen call happened, so a scenario with fewer calls is not
    // mistaken for one that survived its fault.
    bool injected() const { return injected_; }

    int reads = 0, writes = 0;

private:
    bool hits(Fault fail, Fault cut, int call) {
        if ((fault_ != fail && fault_ != cut) || call != at_) return false;
        injected_ = true;
        return true;
    }

    Stream& inner_;
    Fault fault_;
    int at_;
    bool injected_ = false;
};

} // namespace zrk::testing
