// kfwsim: asks the loaded KFWMONTR what it does with an access, as if a
// program had made it, and prints the driver's answer.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/RuleSet.h"
#include "driver/SimProtocol.h"

namespace {

const char kUsage[] =
    "usage: kfwsim TASK OPERATION PATH\n"
    "       kfwsim --burst N TASK OPERATION PATH\n"
    "       kfwsim --report TEXT\n"
    "       kfwsim --status\n"
    "OPERATION is one of: read write create delete rename list execute\n"
    "exit status: 0 allowed (or done), 1 denied (or report dropped), 2 not found,\n"
    "             3 KFWMONTR not loaded, 4 usage error\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "kfwsim: %s\n%s", problem, kUsage);
    return kfsim::CODE_BAD_REQUEST;
}

// "TASK\0OPERATION\0PATH\0", or empty after a usage message.
bool AccessPayload(char** args, std::string* payload, int* status) {
    kfdrv::Operation op;
    if (!kfdrv::ParseOperation(args[1], &op)) {
        *status = Usage((std::string("unknown operation \"") + args[1] + "\"").c_str());
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        *payload += args[i];
        *payload += '\0';
    }
    return true;
}

bool ParseCount(const char* s, uint32_t* n) {
    char* end = nullptr;
    unsigned long long v = std::strtoull(s, &end, 10);
    if (!*s || *end || *s == '-' || v == 0 || v > kfsim::kMaxBurst) return false;
    *n = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string request, payload;
    int status = 0;
    std::string first = argc > 1 ? argv[1] : "";
    if (first == "--status") {
        if (argc != 2) return Usage("--status takes nothing more");
        request = kfsim::EncodeRequest(kfsim::VERB_STATUS, 0, "");
    } else if (first == "--report") {
        if (argc != 3) return Usage("--report takes one TEXT");
        request = kfsim::EncodeRequest(kfsim::VERB_REPORT, 0, argv[2]);
    } else if (first == "--burst") {
        uint32_t n = 0;
        if (argc != 6) return Usage("--burst takes N TASK OPERATION PATH");
        if (!ParseCount(argv[2], &n)) return Usage("N must be a count from 1 to 10000000");
        if (!AccessPayload(argv + 3, &payload, &status)) return status;
        request = kfsim::EncodeRequest(kfsim::VERB_BURST, n, payload);
    } else if (first.compare(0, 2, "--") == 0) {
        return Usage("unknown option");
    } else if (argc != 4) {
        return Usage(argc == 1 ? "nothing to do" : "an access takes TASK OPERATION PATH");
    } else {
        if (!AccessPayload(argv + 1, &payload, &status)) return status;
        request = kfsim::EncodeRequest(kfsim::VERB_ACCESS, 0, payload);
    }

    std::string pipe = kfsim::PipeName(), text;
    int32_t code = 0;
    switch (kfsim::Call(pipe, request, &code, &text)) {
    case kfsim::CallResult::Done: break;
    case kfsim::CallResult::NotLoaded:
        std::fprintf(stderr, "kfwsim: KFWMONTR is not loaded (no pipe %s)\n", pipe.c_str());
        return kfsim::CODE_NOT_LOADED;
    case kfsim::CallResult::Busy:
        std::fprintf(stderr, "kfwsim: KFWMONTR is busy (pipe %s)\n", pipe.c_str());
        return kfsim::CODE_NOT_LOADED;
    case kfsim::CallResult::Broken:
        std::fprintf(stderr, "kfwsim: lost KFWMONTR while asking (pipe %s)\n", pipe.c_str());
        return kfsim::CODE_NOT_LOADED;
    }
    std::fwrite(text.data(), 1, text.size(), code == kfsim::CODE_BAD_REQUEST ? stderr : stdout);
    return code;
}
