// UniqueHandle over a made-up kind of handle that records its closes, so the holder's
// ownership rules are checked on every platform.
#include "platform/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace zrk {
namespace {

struct RecordingTraits {
    using Handle = int;
    static int invalid() { return -1; }
    std::vector<int>* closed = nullptr;
    void close(int handle) const { closed->push_back(handle); }
};
using Holder = UniqueHandle<RecordingTraits>;

TEST(UniqueHandle, ClosesEachHandleOnceAndNeverTheInvalidOne) {
    std::vector<int> closed;
    {
        Holder none;
        EXPECT_FALSE(none);
        Holder failed(-1, RecordingTraits{&closed});
        EXPECT_FALSE(failed);
        Holder held(3, RecordingTraits{&closed});
        EXPECT_TRUE(held);
        held.reset(4);  // closes 3, owns 4
        EXPECT_EQ(closed, std::vector<int>{3});
        Holder given(7, RecordingTraits{&closed});
        EXPECT_EQ(given.release(), 7);  // the caller owns 7 now
        EXPECT_FALSE(given);
    }
    EXPECT_EQ(closed, (std::vector<int>{3, 4}));
}

TEST(UniqueHandle, MovingHandsOverTheHandleAndTheWayToCloseIt) {
    std::vector<int> first, second;
    {
        Holder a(5, RecordingTraits{&first});
        Holder b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 5);
        Holder c(6, RecordingTraits{&second});
        c = std::move(b);  // closes 6 through its own traits, then owns 5
        EXPECT_FALSE(b);
        EXPECT_EQ(second, std::vector<int>{6});
        EXPECT_EQ(c.get(), 5);
    }
    EXPECT_EQ(first, std::vector<int>{5});
    EXPECT_EQ(second, std::vector<int>{6});
}

} // namespace
} // namespace zrk
