// Worker threads.
#pragma once
#include <windows.h>

namespace fw {

typedef UINT (*ThreadProc)(LPVOID param);

class WorkerThread {
public:
    WorkerThread(ThreadProc proc, LPVOID param) : m_proc(proc), m_param(param) {}
    ~WorkerThread();
    BOOL Start(int priority, UINT stackSize, DWORD flags);
    // True when the thread has ended within the time.
    bool Join(DWORD milliseconds);
    HANDLE Handle() const { return m_handle; }

private:
    static DWORD WINAPI Entry(LPVOID self);
    ThreadProc m_proc;
    LPVOID m_param;
    HANDLE m_handle = nullptr;
};

// Starts proc(param) at once; null when the thread cannot be made.
WorkerThread* BeginThread(ThreadProc proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                          UINT stackSize = 0, DWORD flags = 0);

}  // namespace fw
