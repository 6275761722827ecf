// Lock on POSIX systems: a recursive mutex, kept in the object's own storage.
#include "thread/lock.h"

#include <mutex>
#include <new>

namespace zrk {

namespace {
std::recursive_mutex* mutexIn(unsigned char* storage) {
    return std::launder(reinterpret_cast<std::recursive_mutex*>(storage));
}
} // namespace

Lock::Lock() {
    static_assert(sizeof(std::recursive_mutex) <= sizeof(storage_));
    static_assert(alignof(std::recursive_mutex) <= 8);
    new (storage_) std::recursive_mutex;
}

Lock::~Lock() { mutexIn(storage_)->~recursive_mutex(); }

void Lock::enter() { mutexIn(storage_)->lock(); }

void Lock::leave() { mutexIn(storage_)->unlock(); }

} // namespace zrk
