// Lock: a mutual-exclusion lock, recursive on one thread. A critical section on
// Windows, a recursive mutex elsewhere (the portable path resolver and error
// reporter use it too).
#pragma once

#include <cstddef>

namespace zrk {

class Lock {
public:
    Lock();
    virtual ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

    virtual void enter();
    virtual void leave();

private:
    // Room for the system's lock object, so that this header shows no system types.
    alignas(8) unsigned char storage_[64];
};

// Holds a Lock for the lifetime of a scope.
class LockHolder {
public:
    explicit LockHolder(Lock& lock) : lock_(lock) { lock_.enter(); }
    ~LockHolder() { lock_.leave(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    Lock& lock_;
};

} // namespace zrk
