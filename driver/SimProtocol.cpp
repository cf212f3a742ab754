#include "driver/SimProtocol.h"

#include <cstring>

namespace kfsim {

std::string PipeName() {
    char name[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(kPipeNameVariable, name, sizeof name);
    if (n == 0 || n >= sizeof name) return kDefaultPipeName;
    return name;
}

std::string EncodeRequest(Verb verb, uint32_t count, const std::string& payload) {
    RequestHeader h = {kProtocolVersion, verb, count};
    std::string m(reinterpret_cast<const char*>(&h), sizeof h);
    return m + payload;
}

bool DecodeRequest(const std::string& message, RequestHeader* header, std::string* payload) {
    if (message.size() < sizeof(RequestHeader)) return false;
    std::memcpy(header, message.data(), sizeof *header);
    if (header->version != kProtocolVersion) return false;
    payload->assign(message, sizeof *header, std::string::npos);
    return true;
}

std::string EncodeReply(ReplyCode code, const std::string& text) {
    ReplyHeader h = {kProtocolVersion, code};
    return std::string(reinterpret_cast<const char*>(&h), sizeof h) + text;
}

CallResult Call(const std::string& pipe, const std::string& request, int32_t* code,
                std::string* text, DWORD busyWaitMs) {
    DWORD start = GetTickCount();
    HANDLE h;
    for (;;) {
        h = CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                        nullptr);
        if (h != INVALID_HANDLE_VALUE) break;
        DWORD err = GetLastError();
        if (err != ERROR_PIPE_BUSY) return CallResult::NotLoaded;
        if (GetTickCount() - start >= busyWaitMs) return CallResult::Busy;
        // Between two clients the one instance is briefly not listening.
        if (!WaitNamedPipeA(pipe.c_str(), 200)) Sleep(5);
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(h, &mode, nullptr, nullptr);

    DWORD n = 0;
    bool ok = WriteFile(h, request.data(), static_cast<DWORD>(request.size()), &n, nullptr) &&
              n == request.size();
    std::string reply;
    while (ok) {
        char buf[4096];
        if (ReadFile(h, buf, sizeof buf, &n, nullptr)) {
            reply.append(buf, n);
            break;
        }
        if (GetLastError() != ERROR_MORE_DATA) ok = false;
        else reply.append(buf, n);
    }
    CloseHandle(h);

    ReplyHeader rh;
    if (!ok || reply.size() < sizeof rh) return CallResult::Broken;
    std::memcpy(&rh, reply.data(), sizeof rh);
    if (rh.version != kProtocolVersion) return CallResult::Broken;
    *code = rh.code;
    text->assign(reply, sizeof rh, std::string::npos);
    return CallResult::Done;
}

}  // namespace kfsim
