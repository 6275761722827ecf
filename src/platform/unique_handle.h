// UniqueHandle: owns one operating-system handle and closes it exactly once. What a
// handle is, which value means "none" and how it is closed come from a traits type:
//
//   struct Traits {
//       using Handle = ...;
//       static Handle invalid();     // the value that owns nothing
//       void close(Handle) const;    // static, or a member when closing needs more
//   };                               // than the handle (ReleaseDC needs the window)
//
// Kinds differ in their "none" value (null for most, INVALID_HANDLE_VALUE for file
// searches), which is why each kind has its own traits.
#pragma once

#include <utility>

namespace zrk {

template <class Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle, Traits traits = Traits())
        : traits_(std::move(traits)), handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : traits_(std::move(other.traits_)), handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            traits_ = std::move(other.traits_);
            handle_ = other.release();
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::invalid(); }

    // Gives the handle up without closing it.
    Handle release() { return std::exchange(handle_, Traits::invalid()); }
    // Closes the handle held (if any) and takes `handle` instead.
    void reset(Handle handle = Traits::invalid()) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::invalid()) traits_.close(old);
    }

private:
    Traits traits_{};
    Handle handle_ = Traits::invalid();
};

} // namespace zrk
