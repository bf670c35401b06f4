#include "tests/run_recorder.h"

#include "ui/progress_dialog.h"

namespace {

UpdateProgressDialog* g_dialog = nullptr;
RecordedRun* g_run = nullptr;

LRESULT CALLBACK AfterHandled(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* msg = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_dialog && msg->hwnd == g_dialog->Window() &&
        (msg->message == WM_UPDATE_PROGRESS || msg->message == WM_UPDATE_FINISHED)) {
        RECT rect = {};
        GetWindowRect(msg->hwnd, &rect);
        g_run->notes.push_back({msg->message, msg->wParam, msg->lParam, g_dialog->m_runState,
                                g_dialog->m_statusText.Str(), g_dialog->m_shownPercent,
                                g_dialog->m_updateNeeded, g_dialog->m_windowHidden,
                                rect.right - rect.left, rect.bottom - rect.top, static_cast<ULONGLONG>(GetTickCount())});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

RecordedRun RunRecorded(UpdateProgressDialog& dialog)
{
    RecordedRun run;
    g_dialog = &dialog;
    g_run = &run;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterHandled, nullptr, GetCurrentThreadId());
    run.endCode = dialog.DoModal();
    if (hook)
        UnhookWindowsHookEx(hook);
    g_dialog = nullptr;
    g_run = nullptr;
    return run;
}
