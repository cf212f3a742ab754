// What passes between the program and the monitoring driver KFWMONTR.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kf {

// Control codes, sent through DeviceIoControl on the driver handle.
enum DriverControl : unsigned long {
    CTL_SET_CLIENT = 101,  // in: SetClientInput (8 bytes)
    CTL_DETACH     = 102,  // in: none (null, length 4)
    CTL_SUSPEND    = 104,  // in: none
    CTL_ENFORCE    = 105,  // in: none
    CTL_RULE       = 106,  // in: RuleMessage (513 bytes)
};

// Rule kinds: byte 0 of a RuleMessage.
enum RuleKind : unsigned char {
    RULE_CLEAR             = 0,
    RULE_READ_ONLY         = 1,
    RULE_NO_ACCESS         = 2,
    RULE_LOG_ONLY          = 3,
    RULE_SAFE_TASK         = 4,
    RULE_HIDE              = 5,
    RULE_EXCLUDE_READ_ONLY = 6,
    RULE_EXCLUDE_NO_ACCESS = 7,
    RULE_EXCLUDE_LOG_ONLY  = 8,
    RULE_EXCLUDE_HIDE      = 9,
    RULE_SUBFOLDERS        = 0x50,  // added to a path kind
};

constexpr const char* kDriverName   = "KFWMONTR";   // exactly 8 characters
constexpr const char* kEventName    = "KfwEvent";
constexpr const char* kMutexName    = "Kfw95FileMutex";
constexpr const char* kRawRecordFile = "Access.kfw95";
constexpr const char* kAccessLogFile = "Access.dat";

constexpr std::size_t kRingBytes       = 0x20000;
constexpr std::size_t kSlotBytes       = 512;
constexpr int         kSlotCount       = 255;
constexpr std::size_t kRuleMessageBytes = 513;
constexpr std::size_t kRuleTextMax     = 511;  // text bytes before the NUL

// The shared view: two indexes, a reserved gap, 255 report slots.
struct AccessRing {
    int32_t writeIndex;  // slot of the last report written
    int32_t readIndex;   // slot of the last report consumed by the program
    char    reserved[504];
    char    slots[kSlotCount][kSlotBytes];
};
static_assert(sizeof(AccessRing) == kRingBytes, "ring layout");
static_assert(offsetof(AccessRing, slots) == 512, "slot 0 at offset 512");

// CTL_SET_CLIENT input: 32 bits each, also on a 64-bit build.
struct SetClientInput {
    uint32_t ring0Event;
    uint32_t viewAddress;
};
static_assert(sizeof(SetClientInput) == 8, "set-client input");

// The slot after i, in ring order (slot 0 follows slot 254).
inline int NextSlot(int i) { return (i + 1) % kSlotCount; }
// An index either side may find in the ring: the other side may be hostile.
inline bool ValidSlot(int i) { return i >= 0 && i < kSlotCount; }

// Log-only reports carry "FYI" at one of the positions 2 to 13.
bool IsLogOnlyReport(const char* slotText);

}  // namespace kf
