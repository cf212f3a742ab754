#include "framework/Thread.h"

namespace fw {

WorkerThread::~WorkerThread() {
    if (m_handle) CloseHandle(m_handle);
}

DWORD WINAPI WorkerThread::Entry(LPVOID self) {
    auto* t = static_cast<WorkerThread*>(self);
    return t->m_proc(t->m_param);
}

BOOL WorkerThread::Start(int priority, UINT stackSize, DWORD flags) {
    m_handle = CreateThread(nullptr, stackSize, &WorkerThread::Entry, this, CREATE_SUSPENDED, nullptr);
    if (!m_handle) return FALSE;
    SetThreadPriority(m_handle, priority);
    if (!(flags & CREATE_SUSPENDED)) ResumeThread(m_handle);
    return TRUE;
}

bool WorkerThread::Join(DWORD milliseconds) {
    return !m_handle || WaitForSingleObject(m_handle, milliseconds) == WAIT_OBJECT_0;
}

WorkerThread* BeginThread(ThreadProc proc, LPVOID param, int priority, UINT stackSize, DWORD flags) {
    auto* t = new WorkerThread(proc, param);
    if (!t->Start(priority, stackSize, flags)) {
        delete t;
        return nullptr;
    }
    return t;
}

}  // namespace fw
