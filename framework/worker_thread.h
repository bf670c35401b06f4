// Starting a worker thread that nobody waits for.
#pragma once

#include <windows.h>

using WorkerProc = UINT (*)(LPVOID param);

// Starts proc(param) at normal priority with the default stack size, running at once.
// The thread handle is closed here; the thread ends by itself. Returns FALSE when the
// thread cannot be started (GetLastError tells why).
BOOL BeginWorkerThread(WorkerProc proc, LPVOID param);
