#include "framework/dialog.h"

#include "framework/module.h"

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog()
{
    if (m_hWnd)
        DestroyWindow(m_hWnd);
}

const MessageMap* CDialog::GetMessageMap() const
{
    static const MessageMap map = {nullptr, nullptr, 0};
    return &map;
}

BOOL CDialog::OnInitDialog() { return TRUE; }
void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    return m_hWnd && IsDialogMessageA(m_hWnd, msg);
}

void CDialog::EndDialog(int result)
{
    m_modalResult = result;
    m_continueModal = false;
    if (m_hWnd)
        PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wakes the loop if it is waiting
}

INT_PTR CDialog::DoModal()
{
    // Without a parent the owner is the thread's active top-level window (the host's),
    // which stays disabled while the dialog runs.
    HWND owner = m_parent;
    if (!owner) {
        owner = GetActiveWindow();
        if (owner)
            owner = GetAncestor(owner, GA_ROOT);
    }
    const bool disableOwner = owner && IsWindowEnabled(owner);

    m_modalResult = -1;
    m_continueModal = true;
    HWND window = CreateDialogParamA(ThisModule(), MAKEINTRESOURCEA(m_templateId), owner, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    if (!window) {
        m_continueModal = false;
        return -1;
    }
    if (disableOwner)
        EnableWindow(owner, FALSE);

    MSG msg;
    bool quit = false;
    int quitCode = 0;
    while (m_continueModal) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            if (OnQuitMessage())
                break;
            continue;
        }
        if (got == -1)
            break;
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    if (disableOwner) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    DestroyWindow(window);
    m_hWnd = nullptr;
    // The outer loop still sees the quit.
    if (quit)
        PostQuitMessage(quitCode);
    return m_modalResult;
}

void CDialog::CenterWindow(HWND alternateOwner)
{
    if (!m_hWnd)
        return;
    RECT window;
    GetWindowRect(m_hWnd, &window);

    HMONITOR monitor = MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    RECT area;
    if (monitor && GetMonitorInfoA(monitor, &info))
        area = info.rcWork;
    else
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);

    HWND centre = alternateOwner ? alternateOwner : GetWindow(m_hWnd, GW_OWNER);
    RECT over = area;
    if (centre && IsWindowVisible(centre) && !IsIconic(centre))
        GetWindowRect(centre, &over);

    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int left = (over.left + over.right) / 2 - width / 2;
    int top = (over.top + over.bottom) / 2 - height / 2;
    if (left + width > area.right)
        left = area.right - width;
    if (left < area.left)
        left = area.left;
    if (top + height > area.bottom)
        top = area.bottom - height;
    if (top < area.top)
        top = area.top;
    SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
        for (size_t i = 0; i < map->count; ++i) {
            if (map->entries[i].message == message) {
                *result = map->entries[i].invoke(this, wParam, lParam);
                return true;
            }
        }
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            *result = 0;
            return true;
        case IDCANCEL:  // also what the dialog manager makes of a close request
            OnCancel();
            *result = 0;
            return true;
        default:
            break;
        }
    }
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->m_hWnd = window;
        return dialog->OnInitDialog();
    }
    auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog)
        return FALSE;
    if (message == WM_NCDESTROY)
        SetWindowLongPtrA(window, DWLP_USER, 0);

    LRESULT result = 0;
    if (!dialog->Dispatch(message, wParam, lParam, &result))
        return FALSE;
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}
