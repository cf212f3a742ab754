#include "driver/PipeServer.h"

#include "driver/SimProtocol.h"

namespace kfdrv {

namespace {
// A client that connects and then says nothing must not hold the pipe.
constexpr DWORD kClientTimeoutMs = 5000;
constexpr DWORD kBufferBytes = 64 * 1024;
}  // namespace

PipeServer::PipeServer() {
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    io_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

PipeServer::~PipeServer() {
    Stop();
    CloseHandle(io_);
    CloseHandle(stop_);
}

bool PipeServer::Start(const std::string& name, Handler handler, void* context) {
    if (thread_) return true;
    pipe_ = CreateNamedPipeA(name.c_str(),
                             PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, kBufferBytes,
                             kBufferBytes, 0, nullptr);
    if (pipe_ == INVALID_HANDLE_VALUE) return false;
    handler_ = handler;
    context_ = context;
    ResetEvent(stop_);
    thread_ = CreateThread(nullptr, 0, &PipeServer::ThreadMain, this, 0, nullptr);
    if (!thread_) {
        CloseHandle(pipe_);
        pipe_ = INVALID_HANDLE_VALUE;
        return false;
    }
    return true;
}

void PipeServer::Stop() {
    if (!thread_) return;
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    CloseHandle(pipe_);
    pipe_ = INVALID_HANDLE_VALUE;
}

bool PipeServer::Stopping() const { return WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0; }

DWORD WINAPI PipeServer::ThreadMain(void* self) {
    static_cast<PipeServer*>(self)->Serve();
    return 0;
}

// One call at a time, so they share the one event.
OVERLAPPED PipeServer::NewOverlapped() {
    OVERLAPPED ov = {};
    ov.hEvent = io_;
    ResetEvent(io_);
    return ov;
}

// The overlapped call's end, or false on stop or timeout (the call cancelled).
bool PipeServer::Await(OVERLAPPED& ov, DWORD timeoutMs, DWORD* bytes) {
    HANDLE waits[2] = {stop_, io_};
    if (WaitForMultipleObjects(2, waits, FALSE, timeoutMs) != WAIT_OBJECT_0 + 1) {
        CancelIo(pipe_);
        GetOverlappedResult(pipe_, &ov, bytes, TRUE);
        return false;
    }
    return GetOverlappedResult(pipe_, &ov, bytes, FALSE) != FALSE;
}

void PipeServer::Serve() {
    while (!Stopping()) {
        OVERLAPPED ov = NewOverlapped();
        DWORD n = 0;
        bool connected = ConnectNamedPipe(pipe_, &ov) != FALSE;
        if (!connected) {
            DWORD err = GetLastError();
            if (err == ERROR_PIPE_CONNECTED) connected = true;
            else if (err == ERROR_IO_PENDING) connected = Await(ov, INFINITE, &n);
        }
        if (connected) {
            std::string request;
            if (ReadRequest(&request) && WriteReply(handler_(request, context_)))
                AwaitClientClose();
        } else if (!Stopping()) {
            Sleep(10);  // a client that came and went: try again
        }
        DisconnectNamedPipe(pipe_);
    }
}

bool PipeServer::ReadRequest(std::string* request) {
    for (;;) {
        char buf[4096];
        OVERLAPPED ov = NewOverlapped();
        DWORD n = 0;
        BOOL ok = ReadFile(pipe_, buf, sizeof buf, nullptr, &ov);
        DWORD err = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && err == ERROR_IO_PENDING) {
            ok = Await(ov, kClientTimeoutMs, &n);
            err = ok ? ERROR_SUCCESS : GetLastError();
        } else {
            GetOverlappedResult(pipe_, &ov, &n, FALSE);
        }
        if (!ok && err != ERROR_MORE_DATA) return false;
        request->append(buf, n);
        if (request->size() > kfsim::kMaxRequestBytes) return false;
        if (ok) return true;
    }
}

bool PipeServer::WriteReply(const std::string& reply) {
    OVERLAPPED ov = NewOverlapped();
    DWORD n = 0;
    if (!WriteFile(pipe_, reply.data(), static_cast<DWORD>(reply.size()), nullptr, &ov) &&
        (GetLastError() != ERROR_IO_PENDING || !Await(ov, kClientTimeoutMs, &n)))
        return false;
    return true;
}

// Disconnecting drops what the client has not read yet: wait for it to close.
void PipeServer::AwaitClientClose() {
    char byte;
    OVERLAPPED ov = NewOverlapped();
    DWORD n = 0;
    if (!ReadFile(pipe_, &byte, 1, nullptr, &ov) && GetLastError() == ERROR_IO_PENDING)
        Await(ov, kClientTimeoutMs, &n);
}

}  // namespace kfdrv
