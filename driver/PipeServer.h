// One named-pipe instance served on one thread, a request at a time.
// Every wait also ends on Stop, so the thread can be joined before the
// module that runs it goes away.
#pragma once
#include <windows.h>

#include <string>

namespace kfdrv {

class PipeServer {
public:
    // The reply to one request message.
    typedef std::string (*Handler)(const std::string& request, void* context);

    PipeServer();
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // False when the pipe cannot be made (another copy serves the name).
    bool Start(const std::string& name, Handler handler, void* context);
    void Stop();
    // For a long handler to give up early.
    bool Stopping() const;

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Serve();
    OVERLAPPED NewOverlapped();
    bool Await(OVERLAPPED& ov, DWORD timeoutMs, DWORD* bytes);
    bool ReadRequest(std::string* request);
    bool WriteReply(const std::string& reply);
    void AwaitClientClose();

    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE stop_;
    HANDLE io_;
    HANDLE thread_ = nullptr;
    Handler handler_ = nullptr;
    void* context_ = nullptr;
};

}  // namespace kfdrv
