// The stand-in monitoring driver KFWMONTR: the control codes of the program,
// the decisions, the report ring, and the pipe that kfwsim asks through.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/PipeServer.h"
#include "driver/ReportRing.h"
#include "driver/RuleSet.h"
#include "driver/SimProtocol.h"
#include "framework/Lock.h"
#include "monitor/DriverContract.h"
#include "platform/Vxd.h"

using namespace kf;
using namespace kfdrv;

namespace {

struct Driver {
    Driver() { InitializeCriticalSection(&lock); }
    ~Driver() { DeleteCriticalSection(&lock); }

    CRITICAL_SECTION lock;  // rules, enforcing, loads
    RuleSet rules;
    bool enforcing = true;
    int loads = 0;
    ReportRing ring;
    PipeServer server;
};

Driver& TheDriver() {
    static Driver d;
    return d;
}

Decision Decide(const std::string& task, Operation op, const std::string& path) {
    Driver& d = TheDriver();
    fw::Locked l(&d.lock);
    return d.rules.Decide(d.enforcing, task, op, path);
}

// The decision, and its report put into the ring outside the rules lock:
// a full ring may hold a post for a while.
Decision Access(const std::string& task, Operation op, const std::string& path, PostResult* posted,
                int* slot) {
    Decision dec = Decide(task, op, path);
    if (!dec.report.empty()) *posted = TheDriver().ring.Post(dec.report.data(), dec.report.size(), slot);
    return dec;
}

std::string Format(const char* fmt, ...) {
    char buf[256];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

bool ParseAccess(const std::string& payload, std::string* task, Operation* op, std::string* path) {
    std::size_t a = payload.find('\0');
    std::size_t b = a == std::string::npos ? a : payload.find('\0', a + 1);
    std::size_t c = b == std::string::npos ? b : payload.find('\0', b + 1);
    if (c == std::string::npos) return false;
    *task = payload.substr(0, a);
    *path = payload.substr(b + 1, c - b - 1);
    return ParseOperation(payload.substr(a + 1, b - a - 1), op);
}

std::string ServeAccess(const std::string& payload) {
    std::string task, path;
    Operation op;
    if (!ParseAccess(payload, &task, &op, &path))
        return kfsim::EncodeReply(kfsim::CODE_BAD_REQUEST, "bad access request\n");
    PostResult posted = PostResult::Written;
    int slot = -1;
    Decision dec = Access(task, op, path, &posted, &slot);
    std::string text = AnswerText(dec) + "\n";
    if (!dec.report.empty())
        text += posted == PostResult::Written ? Format("report: written to slot %d\n", slot)
                                              : std::string("report: ") + PostResultText(posted) + "\n";
    return kfsim::EncodeReply(static_cast<kfsim::ReplyCode>(dec.verdict), text);
}

std::string ServeBurst(const std::string& payload, uint32_t count, const PipeServer& server) {
    std::string task, path;
    Operation op;
    if (!ParseAccess(payload, &task, &op, &path) || count == 0 || count > kfsim::kMaxBurst)
        return kfsim::EncodeReply(kfsim::CODE_BAD_REQUEST, "bad burst request\n");
    unsigned long verdicts[3] = {0, 0, 0}, written = 0, dropped = 0, done = 0;
    std::string first;
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    for (; done < count && !server.Stopping(); ++done) {
        PostResult posted = PostResult::Written;
        int slot;
        Decision dec = Access(task, op, path, &posted, &slot);
        if (done == 0) first = AnswerText(dec);
        ++verdicts[static_cast<int>(dec.verdict)];
        if (!dec.report.empty()) ++(posted == PostResult::Written ? written : dropped);
    }
    QueryPerformanceCounter(&t1);
    double ms = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart);
    std::string text = first + "\n";
    text += Format("accesses: %lu in %.3f ms\n", done, ms);
    text += Format("allowed: %lu\ndenied: %lu\nnot found: %lu\n", verdicts[0], verdicts[1], verdicts[2]);
    text += Format("reports written: %lu\nreports dropped: %lu\n", written, dropped);
    return kfsim::EncodeReply(kfsim::CODE_ALLOWED, text);
}

std::string ServeReport(const std::string& payload) {
    int slot = -1;
    PostResult r = TheDriver().ring.Post(payload.data(), payload.size(), &slot);
    if (r == PostResult::Written)
        return kfsim::EncodeReply(kfsim::CODE_ALLOWED, Format("report: written to slot %d\n", slot));
    return kfsim::EncodeReply(kfsim::CODE_DENIED, std::string("report: ") + PostResultText(r) + "\n");
}

std::string ServeStatus() {
    Driver& d = TheDriver();
    std::string text;
    {
        fw::Locked l(&d.lock);
        text = std::string("state: ") + (d.enforcing ? "enforcing" : "suspended") + "\n";
        text += std::string("client: ") + (d.ring.Attached() ? "attached" : "none") + "\n";
        const std::vector<Rule>& rules = d.rules.Rules();
        text += Format("rules: %u\n", static_cast<unsigned>(rules.size()));
        for (std::size_t i = 0; i < rules.size(); ++i) {
            text += Format("%u. kind %u (%s): ", static_cast<unsigned>(i + 1), rules[i].kind,
                           KindName(rules[i].kind).c_str());
            text += rules[i].text;
            if (LooksLikeExclusion(rules[i])) text += "  <- taken as a path, not as an exclusion";
            text += "\n";
        }
    }
    RingCounters c = d.ring.Counters();
    text += Format("reports written: %lu\n", c.written);
    text += Format("reports dropped: %lu (no client %lu, ring full %lu, mutex busy %lu, no mutex %lu, bad ring %lu)\n",
                   c.dropped, c.noClient, c.ringFull, c.mutexBusy, c.noMutex, c.badRing);
    return kfsim::EncodeReply(kfsim::CODE_ALLOWED, text);
}

std::string Serve(const std::string& message, void* context) {
    const PipeServer& server = *static_cast<const PipeServer*>(context);
    kfsim::RequestHeader h;
    std::string payload;
    if (!kfsim::DecodeRequest(message, &h, &payload))
        return kfsim::EncodeReply(kfsim::CODE_BAD_REQUEST, "bad request\n");
    switch (h.verb) {
    case kfsim::VERB_ACCESS: return ServeAccess(payload);
    case kfsim::VERB_BURST:  return ServeBurst(payload, h.count, server);
    case kfsim::VERB_REPORT: return ServeReport(payload);
    case kfsim::VERB_STATUS: return ServeStatus();
    }
    return kfsim::EncodeReply(kfsim::CODE_BAD_REQUEST, "unknown request\n");
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL SetClient(const void* in, DWORD inBytes) {
    if (!in || inBytes < sizeof(SetClientInput)) return Fail(ERROR_INVALID_PARAMETER);
    SetClientInput input;
    std::memcpy(&input, in, sizeof input);
    HANDLE event = platform::StandInEventFromRing0(input.ring0Event);
    auto* ring = reinterpret_cast<AccessRing*>(static_cast<uintptr_t>(input.viewAddress));
    return TheDriver().ring.Attach(event, ring) ? TRUE : Fail(ERROR_INVALID_PARAMETER);
}

BOOL AddRule(const void* in, DWORD inBytes) {
    if (!in || inBytes < 1) return Fail(ERROR_INVALID_PARAMETER);
    const char* message = static_cast<const char*>(in);
    std::size_t avail = inBytes < kRuleMessageBytes ? inBytes : kRuleMessageBytes;
    unsigned char kind = static_cast<unsigned char>(message[0]);
    std::string text;
    if (kind != RULE_CLEAR) {
        const void* nul = std::memchr(message + 1, 0, avail - 1);
        if (!nul) return Fail(ERROR_INVALID_PARAMETER);  // no end within the message
        text.assign(message + 1, static_cast<const char*>(nul));
    }
    Driver& d = TheDriver();
    fw::Locked l(&d.lock);
    return d.rules.Add(kind, text) ? TRUE : Fail(ERROR_INVALID_PARAMETER);
}

void SetEnforcing(bool on) {
    Driver& d = TheDriver();
    fw::Locked l(&d.lock);
    d.enforcing = on;
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI KfwDriverLoad(void) {
    Driver& d = TheDriver();
    fw::Locked l(&d.lock);
    if (d.loads++ > 0) return TRUE;
    d.rules.Clear();
    d.enforcing = true;
    d.ring.ResetCounters();
    // The driver works without its pipe; only kfwsim cannot reach it then
    // (another loaded copy serves the name).
    d.server.Start(kfsim::PipeName(), &Serve, &d.server);
    return TRUE;
}

__declspec(dllexport) void WINAPI KfwDriverUnload(void) {
    Driver& d = TheDriver();
    {
        fw::Locked l(&d.lock);
        if (d.loads == 0 || --d.loads > 0) return;
    }
    // Detach first: a post waiting for room ends, and with it the request.
    d.ring.Detach();
    d.server.Stop();
    // Again, for a client that came back meanwhile: none outlives the unload.
    d.ring.Detach();
}

__declspec(dllexport) BOOL WINAPI KfwDriverControl(DWORD code, LPVOID in, DWORD inBytes, LPVOID out,
                                                   DWORD outBytes, LPDWORD returned) {
    if (returned) *returned = 0;
    switch (code) {
    case CTL_SET_CLIENT: return SetClient(in, inBytes);
    case CTL_DETACH:     TheDriver().ring.Detach(); return TRUE;
    case CTL_SUSPEND:    SetEnforcing(false); return TRUE;
    case CTL_ENFORCE:    SetEnforcing(true); return TRUE;
    case CTL_RULE:       return AddRule(in, inBytes);
    }
    return Fail(ERROR_INVALID_FUNCTION);
}

}  // extern "C"
