#include "framework/worker_thread.h"

#include <process.h>

#include <new>

#include "framework/handles.h"

namespace {

struct StartInfo {
    WorkerProc proc;
    LPVOID param;
    HMODULE pin;
};

// The thread holds a reference on the module its code is in and drops it only as it
// exits: a host may unload a control module whose objects are all gone while the worker
// still has its last steps to run.
unsigned __stdcall ThreadEntry(void* raw)
{
    StartInfo info = *static_cast<StartInfo*>(raw);
    delete static_cast<StartInfo*>(raw);
    const unsigned code = info.proc(info.param);
    if (info.pin)
        FreeLibraryAndExitThread(info.pin, code);
    return code;
}

}  // namespace

BOOL BeginWorkerThread(WorkerProc proc, LPVOID param)
{
    HMODULE pin = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ThreadEntry), &pin);
    auto* info = new (std::nothrow) StartInfo{proc, param, pin};
    if (!info) {
        if (pin)
            FreeLibrary(pin);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // _beginthreadex, not CreateThread, so the C runtime is set up for the thread.
    KernelHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, info, 0, nullptr)));
    if (!thread) {
        const DWORD error = GetLastError();
        delete info;
        if (pin)
            FreeLibrary(pin);
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}
