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
        g_run->window = msg->hwnd;
        RECT rect = {};
        GetWindowRect(msg->hwnd, &rect);
        g_run->notes.push_back({msg->message, msg->wParam, msg->lParam, g_dialog->m_runState,
                                g_dialog->m_statusText.Str(), g_dialog->m_shownPercent,
                                g_dialog->m_updateNeeded, g_dialog->m_windowHidden,
                                rect.right - rect.left, rect.bottom - rect.top, static_cast<ULONGLONG>(GetTickCount())});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK BeforeHandled(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_dialog && msg->hwnd == g_dialog->Window() && msg->message == WM_UPDATE_FINISHED) {
        g_run->items.clear();
        for (INT_PTR i = 0; i < g_dialog->m_items.GetCount(); ++i) {
            if (const UpdateItem* item = g_dialog->m_items.GetAt(i))
                g_run->items.push_back(*item);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

RecordedRun RunRecorded(UpdateProgressDialog& dialog)
{
    RecordedRun run;
    g_dialog = &dialog;
    g_run = &run;
    HHOOK after = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterHandled, nullptr, GetCurrentThreadId());
    HHOOK before = SetWindowsHookExA(WH_CALLWNDPROC, BeforeHandled, nullptr, GetCurrentThreadId());
    run.endCode = dialog.DoModal();
    for (HHOOK hook : {after, before}) {
        if (hook)
            UnhookWindowsHookEx(hook);
    }
    g_dialog = nullptr;
    g_run = nullptr;
    return run;
}
