// The report ring: room, the program's mutex, the signal, detaching.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "driver/ReportRing.h"

using namespace kf;
using namespace kfdrv;

namespace {

std::string SlotText(const AccessRing& r, int i) {
    return std::string(r.slots[i], strnlen(r.slots[i], kSlotBytes));
}

// Holds the mutex on a thread of its own, as the program's monitor would.
class Holder {
public:
    Holder(const char* name, DWORD holdMs, bool release = true)
        : held_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          thread_([=] {
              HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
              WaitForSingleObject(m, INFINITE);
              SetEvent(held_);
              Sleep(holdMs);
              if (release) ReleaseMutex(m);
              CloseHandle(m);
          }) {
        WaitForSingleObject(held_, 5000);
    }
    ~Holder() {
        thread_.join();
        CloseHandle(held_);
    }

private:
    HANDLE held_;
    std::thread thread_;
};

class ReportRingTest : public testing::Test {
protected:
    void SetUp() override {
        mutexName_ = "KfwRingTest-" + std::to_string(GetCurrentProcessId());
        mutex_ = CreateMutexA(nullptr, FALSE, mutexName_.c_str());
        event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        ring_ = static_cast<AccessRing*>(
            VirtualAlloc(nullptr, sizeof(AccessRing), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_TRUE(mutex_ && event_ && ring_);
    }
    void TearDown() override {
        VirtualFree(ring_, 0, MEM_RELEASE);
        CloseHandle(event_);
        CloseHandle(mutex_);
    }

    RingBounds Bounds(DWORD fullWaitMs = 200, DWORD mutexWaitMs = 300) const {
        RingBounds b;
        b.mutexName = mutexName_.c_str();
        b.fullWaitMs = fullWaitMs;
        b.mutexWaitMs = mutexWaitMs;
        return b;
    }
    static PostResult Post(ReportRing& r, const std::string& text, int* slot = nullptr) {
        return r.Post(text.data(), text.size(), slot);
    }
    bool Signalled() const { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }
    void Consume() { ring_->readIndex = ring_->writeIndex; }
    // The 254 reports a ring holds, each its own text.
    void Fill(ReportRing& r) {
        for (int i = 1; i < kSlotCount; ++i) ASSERT_EQ(PostResult::Written, Post(r, "report " + std::to_string(i)));
    }

    std::string mutexName_;
    HANDLE mutex_ = nullptr, event_ = nullptr;
    AccessRing* ring_ = nullptr;
};

TEST_F(ReportRingTest, FullRingDropsAfterItsBoundAndOverwritesNothing) {
    ReportRing r(Bounds(200));
    ASSERT_TRUE(r.Attach(event_, ring_));
    Fill(r);
    EXPECT_EQ(254, ring_->writeIndex);
    EXPECT_TRUE(Signalled());

    for (int n = 0; n < 2; ++n) {
        DWORD t0 = GetTickCount();
        EXPECT_EQ(PostResult::RingFull, Post(r, "one too many"));
        EXPECT_GE(GetTickCount() - t0, 180u);
    }
    EXPECT_FALSE(Signalled());
    EXPECT_EQ(254, ring_->writeIndex);
    EXPECT_EQ("", SlotText(*ring_, 0));  // slot 0 is readIndex: not consumed
    for (int i = 1; i < kSlotCount; ++i) ASSERT_EQ("report " + std::to_string(i), SlotText(*ring_, i));
    RingCounters c = r.Counters();
    EXPECT_EQ(254u, c.written);
    EXPECT_EQ(2u, c.dropped);
    EXPECT_EQ(2u, c.ringFull);

    // Consumed, writing goes on round the ring.
    Consume();
    int slot = -1;
    EXPECT_EQ(PostResult::Written, Post(r, "after", &slot));
    EXPECT_EQ(0, slot);
    EXPECT_EQ(PostResult::Written, Post(r, "and on", &slot));
    EXPECT_EQ(1, slot);
    EXPECT_EQ("and on", SlotText(*ring_, 1));
    EXPECT_EQ("report 2", SlotText(*ring_, 2));
    EXPECT_TRUE(Signalled());
}

TEST_F(ReportRingTest, WaitsForRoomWithoutHoldingTheMutex) {
    ReportRing r(Bounds(3000));
    ASSERT_TRUE(r.Attach(event_, ring_));
    Fill(r);
    PostResult result = PostResult::NoClient;
    DWORD t0 = GetTickCount(), took = 0;
    std::thread poster([&] {
        result = Post(r, "waited");
        took = GetTickCount() - t0;
    });
    Sleep(100);
    // The program takes the mutex to consume; the waiting post must not hold it.
    HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, mutexName_.c_str());
    std::thread program([&] {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m, 0));
        Consume();
        ReleaseMutex(m);
    });
    program.join();
    // The client sent again, as before every wait: that must not stall.
    DWORD a0 = GetTickCount();
    EXPECT_TRUE(r.Attach(event_, ring_));
    EXPECT_LT(GetTickCount() - a0, 100u);
    poster.join();
    CloseHandle(m);
    EXPECT_EQ(PostResult::Written, result);
    EXPECT_LT(took, 2000u);
    EXPECT_EQ(0, ring_->writeIndex);
    EXPECT_EQ("waited", SlotText(*ring_, 0));
}

TEST_F(ReportRingTest, WritesOnlyUnderTheMutex) {
    ReportRing r(Bounds(200, 300));
    ASSERT_TRUE(r.Attach(event_, ring_));
    {
        Holder h(mutexName_.c_str(), 600);
        DWORD t0 = GetTickCount();
        EXPECT_EQ(PostResult::MutexBusy, Post(r, "held out"));
        EXPECT_GE(GetTickCount() - t0, 280u);
        EXPECT_EQ(0, ring_->writeIndex);
        EXPECT_EQ("", SlotText(*ring_, 1));
        EXPECT_FALSE(Signalled());
    }
    EXPECT_EQ(1u, r.Counters().mutexBusy);
    {
        Holder h(mutexName_.c_str(), 150);
        DWORD t0 = GetTickCount();
        EXPECT_EQ(PostResult::Written, Post(r, "waited for it"));
        EXPECT_GE(GetTickCount() - t0, 130u);
        EXPECT_EQ("waited for it", SlotText(*ring_, 1));
        EXPECT_TRUE(Signalled());
    }
    {
        // A holder that dies with it: the mutex is ours all the same.
        Holder h(mutexName_.c_str(), 0, false);
    }
    EXPECT_EQ(PostResult::Written, Post(r, "abandoned"));
    // Released after the write: the program can take it.
    std::thread program([&] {
        HANDLE m = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, mutexName_.c_str());
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m, 0));
        ReleaseMutex(m);
        CloseHandle(m);
    });
    program.join();
}

TEST_F(ReportRingTest, MutexNotMadeYetDropsUntilItIs) {
    RingBounds b = Bounds();
    std::string later = mutexName_ + "-later";
    b.mutexName = later.c_str();
    ReportRing r(b);
    ASSERT_TRUE(r.Attach(event_, ring_));
    EXPECT_EQ(PostResult::NoMutex, Post(r, "early"));
    HANDLE m = CreateMutexA(nullptr, FALSE, later.c_str());
    EXPECT_EQ(PostResult::Written, Post(r, "in time"));
    CloseHandle(m);
    EXPECT_EQ(1u, r.Counters().noMutex);
    EXPECT_EQ("in time", SlotText(*ring_, 1));
}

TEST_F(ReportRingTest, DetachEndsAWaitingPostAndStopsWrites) {
    ReportRing r(Bounds(5000));
    ASSERT_TRUE(r.Attach(event_, ring_));
    Fill(r);
    PostResult result = PostResult::Written;
    std::thread poster([&] { result = Post(r, "never"); });
    Sleep(100);
    DWORD t0 = GetTickCount();
    r.Detach();
    EXPECT_LT(GetTickCount() - t0, 1000u);
    poster.join();
    EXPECT_EQ(PostResult::NoClient, result);
    EXPECT_FALSE(r.Attached());

    Consume();
    EXPECT_EQ(PostResult::NoClient, Post(r, "after detach"));
    EXPECT_EQ(254, ring_->writeIndex);
    EXPECT_EQ("", SlotText(*ring_, 0));
    EXPECT_EQ(2u, r.Counters().noClient);
}

TEST_F(ReportRingTest, NoClientDropsAndCounts) {
    ReportRing r(Bounds());
    EXPECT_EQ(PostResult::NoClient, Post(r, "nobody"));
    RingCounters c = r.Counters();
    EXPECT_EQ(0u, c.written);
    EXPECT_EQ(1u, c.dropped);
    EXPECT_EQ(1u, c.noClient);
}

TEST_F(ReportRingTest, RefusesAViewItCannotWrite) {
    ReportRing r(Bounds());
    char* half = static_cast<char*>(VirtualAlloc(nullptr, sizeof(AccessRing), MEM_RESERVE, PAGE_READWRITE));
    VirtualAlloc(half, sizeof(AccessRing) / 2, MEM_COMMIT, PAGE_READWRITE);
    void* readOnly = VirtualAlloc(nullptr, sizeof(AccessRing), MEM_COMMIT | MEM_RESERVE, PAGE_READONLY);
    EXPECT_FALSE(r.Attach(event_, nullptr));
    EXPECT_FALSE(r.Attach(nullptr, ring_));
    EXPECT_FALSE(r.Attach(event_, reinterpret_cast<AccessRing*>(half)));
    EXPECT_FALSE(r.Attach(event_, static_cast<AccessRing*>(readOnly)));
    EXPECT_FALSE(r.Attached());
    VirtualFree(half, 0, MEM_RELEASE);
    VirtualFree(readOnly, 0, MEM_RELEASE);
}

TEST_F(ReportRingTest, IndexesOutOfRangeTouchNothing) {
    ReportRing r(Bounds());
    ASSERT_TRUE(r.Attach(event_, ring_));
    const int32_t bad[][2] = {{255, 0}, {-1, 0}, {0, 300}, {3, -7}};
    for (const auto& b : bad) {
        ring_->writeIndex = b[0];
        ring_->readIndex = b[1];
        EXPECT_EQ(PostResult::BadRing, Post(r, "x")) << b[0] << "," << b[1];
        EXPECT_EQ(b[0], ring_->writeIndex);
    }
    EXPECT_EQ(4u, r.Counters().badRing);
}

TEST_F(ReportRingTest, SlotTextLengths) {
    std::memset(ring_->slots, 'x', sizeof ring_->slots);
    ReportRing r(Bounds());
    ASSERT_TRUE(r.Attach(event_, ring_));
    struct {
        std::size_t size;
        std::size_t kept;
    } cases[] = {{3, 3}, {511, 511}, {512, 512}, {600, 512}};
    for (const auto& c : cases) {
        std::string text(c.size, 'a');
        for (std::size_t i = 0; i < c.size; ++i) text[i] = static_cast<char>('a' + i % 26);
        int slot = -1;
        ASSERT_EQ(PostResult::Written, Post(r, text, &slot));
        const char* s = ring_->slots[slot];
        EXPECT_EQ(0, std::memcmp(s, text.data(), c.kept)) << c.size;
        // A shorter text ends in a NUL and leaves no old bytes behind it.
        for (std::size_t i = c.kept; i < kSlotBytes; ++i) ASSERT_EQ(0, s[i]) << c.size << " at " << i;
        EXPECT_EQ('x', ring_->slots[slot + 1][0]) << "next slot untouched";
    }
}

}  // namespace
