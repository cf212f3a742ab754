#include "driver/ReportRing.h"

#include <cstring>

#include "framework/Lock.h"

namespace kfdrv {

using namespace kf;

namespace {

bool Writable(DWORD protect) {
    if (protect & (PAGE_GUARD | PAGE_NOACCESS)) return false;
    return (protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE |
                       PAGE_EXECUTE_WRITECOPY)) != 0;
}

// The whole range committed and writable, however many regions it spans.
bool IsWritableView(const void* base, std::size_t bytes) {
    const char* at = static_cast<const char*>(base);
    const char* end = at + bytes;
    while (at < end) {
        MEMORY_BASIC_INFORMATION mbi;
        if (!VirtualQuery(at, &mbi, sizeof mbi)) return false;
        if (mbi.State != MEM_COMMIT || !Writable(mbi.Protect)) return false;
        at = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
    }
    return true;
}

// The program changes readIndex behind our back: read it afresh each time.
int32_t Load(const int32_t& index) { return *static_cast<const volatile int32_t*>(&index); }

}  // namespace

const char* PostResultText(PostResult r) {
    switch (r) {
    case PostResult::Written:   return "written";
    case PostResult::NoClient:  return "dropped (no client attached)";
    case PostResult::RingFull:  return "dropped (ring full)";
    case PostResult::MutexBusy: return "dropped (mutex busy)";
    case PostResult::NoMutex:   return "dropped (no mutex)";
    case PostResult::BadRing:   return "dropped (ring indexes out of range)";
    }
    return "dropped";
}

ReportRing::ReportRing(const RingBounds& bounds) : bounds_(bounds) {
    InitializeCriticalSection(&postLock_);
    InitializeCriticalSection(&stateLock_);
    abort_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

ReportRing::~ReportRing() {
    Detach();
    CloseHandle(abort_);
    DeleteCriticalSection(&stateLock_);
    DeleteCriticalSection(&postLock_);
}

bool ReportRing::Attach(HANDLE event, AccessRing* ring) {
    {
        // The program sends its client before every wait: that must not
        // stall behind a post waiting for room it is about to make.
        fw::Locked state(&stateLock_);
        if (event == event_ && ring == ring_ && ring) return true;
    }
    if (!event || !ring || !IsWritableView(ring, sizeof(AccessRing))) return false;
    Detach();
    fw::Locked post(&postLock_);
    fw::Locked state(&stateLock_);
    event_ = event;
    ring_ = ring;
    return true;
}

void ReportRing::Detach() {
    SetEvent(abort_);
    fw::Locked post(&postLock_);
    {
        fw::Locked state(&stateLock_);
        event_ = nullptr;
        ring_ = nullptr;
    }
    // A program that comes back may have made its mutex anew.
    if (mutex_) CloseHandle(mutex_);
    mutex_ = nullptr;
    ResetEvent(abort_);
}

bool ReportRing::Attached() const {
    fw::Locked state(&stateLock_);
    return ring_ != nullptr;
}

PostResult ReportRing::Post(const char* bytes, std::size_t size, int* slot) {
    fw::Locked post(&postLock_);
    PostResult r = Write(bytes, size, slot);
    Count(r);
    return r;
}

// Called with postLock_ held: client fields change only under it as well.
PostResult ReportRing::Write(const char* bytes, std::size_t size, int* slot) {
    if (!ring_) return PostResult::NoClient;
    int32_t w = Load(ring_->writeIndex);
    if (!ValidSlot(w) || !ValidSlot(Load(ring_->readIndex))) return PostResult::BadRing;
    int next = NextSlot(w);

    // Room is made by the program under the mutex, so wait without it.
    DWORD start = GetTickCount();
    while (next == Load(ring_->readIndex)) {
        if (GetTickCount() - start >= bounds_.fullWaitMs) return PostResult::RingFull;
        if (WaitForSingleObject(abort_, bounds_.pollMs) == WAIT_OBJECT_0) return PostResult::NoClient;
    }

    if (!mutex_) mutex_ = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, bounds_.mutexName);
    if (!mutex_) return PostResult::NoMutex;
    HANDLE waits[2] = {abort_, mutex_};
    DWORD got = WaitForMultipleObjects(2, waits, FALSE, bounds_.mutexWaitMs);
    if (got == WAIT_OBJECT_0) return PostResult::NoClient;
    // An abandoned mutex is ours all the same.
    if (got != WAIT_OBJECT_0 + 1 && got != WAIT_ABANDONED_0 + 1) return PostResult::MutexBusy;

    if (size > kSlotBytes) size = kSlotBytes;
    char* s = ring_->slots[next];
    std::memcpy(s, bytes, size);
    std::memset(s + size, 0, kSlotBytes - size);
    MemoryBarrier();
    *static_cast<volatile int32_t*>(&ring_->writeIndex) = next;
    ReleaseMutex(mutex_);
    SetEvent(event_);
    if (slot) *slot = next;
    return PostResult::Written;
}

void ReportRing::Count(PostResult r) {
    fw::Locked state(&stateLock_);
    RingCounters& c = counters_;
    switch (r) {
    case PostResult::Written:   ++c.written; return;
    case PostResult::NoClient:  ++c.noClient; break;
    case PostResult::RingFull:  ++c.ringFull; break;
    case PostResult::MutexBusy: ++c.mutexBusy; break;
    case PostResult::NoMutex:   ++c.noMutex; break;
    case PostResult::BadRing:   ++c.badRing; break;
    }
    ++c.dropped;
}

RingCounters ReportRing::Counters() const {
    fw::Locked state(&stateLock_);
    return counters_;
}

void ReportRing::ResetCounters() {
    fw::Locked state(&stateLock_);
    counters_ = RingCounters();
}

}  // namespace kfdrv
