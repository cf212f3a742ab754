// What kfwsim and the loaded driver say over the driver's named pipe.
//
// One message each way, then the client closes:
//   request: RequestHeader, then by verb
//     VERB_ACCESS, VERB_BURST: "TASK\0OPERATION\0PATH\0"
//     VERB_REPORT:             the report bytes, all of them, no terminator
//     VERB_STATUS:             nothing
//   reply:   ReplyHeader, then the text that kfwsim prints as it stands.
// The reply's code is kfwsim's exit status (see ReplyCode).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace kfsim {

constexpr const char* kDefaultPipeName = "\\\\.\\pipe\\KFWMONTR";
// Set, it names another pipe, so that two loaded copies need not meet.
constexpr const char* kPipeNameVariable = "KFWMONTR_PIPE";
constexpr uint32_t kProtocolVersion = 1;
constexpr uint32_t kMaxBurst = 10000000;
constexpr std::size_t kMaxRequestBytes = 64 * 1024;

enum Verb : uint32_t { VERB_ACCESS = 1, VERB_BURST = 2, VERB_REPORT = 3, VERB_STATUS = 4 };

enum ReplyCode : int32_t {
    CODE_ALLOWED = 0,     // also: done (report written, burst, status)
    CODE_DENIED = 1,      // also: report dropped
    CODE_NOT_FOUND = 2,
    CODE_NOT_LOADED = 3,  // kfwsim's own: no pipe, or it broke
    CODE_BAD_REQUEST = 4, // also kfwsim's usage errors
};

#pragma pack(push, 1)
struct RequestHeader {
    uint32_t version;
    uint32_t verb;
    uint32_t count;  // VERB_BURST: how many times; 0 otherwise
};
struct ReplyHeader {
    uint32_t version;
    int32_t code;
};
#pragma pack(pop)

// KFWMONTR_PIPE, else the default.
std::string PipeName();

std::string EncodeRequest(Verb verb, uint32_t count, const std::string& payload);
bool DecodeRequest(const std::string& message, RequestHeader* header, std::string* payload);
std::string EncodeReply(ReplyCode code, const std::string& text);

enum class CallResult { Done, NotLoaded, Busy, Broken };

// One request to the driver; waits up to busyWaitMs while it serves another.
CallResult Call(const std::string& pipe, const std::string& request, int32_t* code,
                std::string* text, DWORD busyWaitMs = 60000);

}  // namespace kfsim
