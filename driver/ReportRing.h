// Puts reports into the program's shared ring as the program reads it:
// under its named mutex, never over a slot it has not consumed, then a
// signal on its event. Every wait is bounded; what cannot go in is counted.
#pragma once
#include <windows.h>

#include <cstddef>

#include "monitor/DriverContract.h"

namespace kfdrv {

enum class PostResult { Written, NoClient, RingFull, MutexBusy, NoMutex, BadRing };

const char* PostResultText(PostResult r);  // "written", "dropped (ring full)", ...

struct RingCounters {
    unsigned long written = 0;
    unsigned long dropped = 0;  // the sum of the reasons below
    unsigned long noClient = 0, ringFull = 0, mutexBusy = 0, noMutex = 0, badRing = 0;
};

struct RingBounds {
    const char* mutexName = kf::kMutexName;
    DWORD mutexWaitMs = 2000;
    DWORD fullWaitMs = 500;
    DWORD pollMs = 2;
};

class ReportRing {
public:
    explicit ReportRing(const RingBounds& bounds = RingBounds());
    ~ReportRing();
    ReportRing(const ReportRing&) = delete;
    ReportRing& operator=(const ReportRing&) = delete;

    // The same client again changes nothing and never waits; another one
    // replaces it. False for a view that is not 0x20000 writable bytes.
    bool Attach(HANDLE event, kf::AccessRing* ring);
    // Returns once a post in progress has ended; the ring is not touched after.
    void Detach();
    bool Attached() const;

    // size up to kSlotBytes (more is cut); a shorter text gets a NUL.
    PostResult Post(const char* bytes, std::size_t size, int* slot = nullptr);

    RingCounters Counters() const;
    void ResetCounters();

private:
    PostResult Write(const char* bytes, std::size_t size, int* slot);
    void Count(PostResult r);

    RingBounds bounds_;
    CRITICAL_SECTION postLock_;   // held through a whole post
    mutable CRITICAL_SECTION stateLock_;  // client fields and counters
    HANDLE abort_;                // set while a detach waits for the post
    HANDLE event_ = nullptr;
    kf::AccessRing* ring_ = nullptr;
    HANDLE mutex_ = nullptr;      // opened on first use: the program makes it
    RingCounters counters_;
};

}  // namespace kfdrv
