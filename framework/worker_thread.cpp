#include "framework/worker_thread.h"

#include <process.h>

#include <new>

#include "framework/handles.h"

namespace {

struct StartInfo {
    WorkerProc proc;
    LPVOID param;
};

unsigned __stdcall ThreadEntry(void* raw)
{
    StartInfo info = *static_cast<StartInfo*>(raw);
    delete static_cast<StartInfo*>(raw);
    return info.proc(info.param);
}

}  // namespace

BOOL BeginWorkerThread(WorkerProc proc, LPVOID param)
{
    auto* info = new (std::nothrow) StartInfo{proc, param};
    if (!info) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // _beginthreadex, not CreateThread, so the C runtime is set up for the thread.
    KernelHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, info, 0, nullptr)));
    if (!thread) {
        delete info;
        return FALSE;
    }
    return TRUE;
}
