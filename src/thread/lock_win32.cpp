// Lock on Windows: one critical section, kept in the object's own storage.
#include "thread/lock.h"

#include "platform/windows_api.h"

#include <new>

namespace zrk {

namespace {
CRITICAL_SECTION* section(unsigned char* storage) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}
} // namespace

Lock::Lock() {
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(storage_));
    static_assert(alignof(CRITICAL_SECTION) <= 8);
    InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}

Lock::~Lock() { DeleteCriticalSection(section(storage_)); }

void Lock::enter() { EnterCriticalSection(section(storage_)); }

void Lock::leave() { LeaveCriticalSection(section(storage_)); }

} // namespace zrk
