// A critical section held for one scope. Header only, so that the driver DLL
// can use it without the rest of the framework.
#pragma once
#include <windows.h>

namespace fw {

class Locked {
public:
    explicit Locked(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~Locked() { LeaveCriticalSection(cs_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION* cs_;
};

}  // namespace fw
