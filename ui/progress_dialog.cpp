// The progress dialog's window side: initialisation, keyboard, close and drag.
#include "ui/progress_dialog.h"

#include "framework/module.h"

// A job driven step by step (without its window) counts its network time from its making.
UpdateProgressDialog::UpdateProgressDialog() : CDialog(IDD_UPDATE_PROGRESS, nullptr), m_networkStart(GetTickCount()) {}

UpdateProgressDialog::~UpdateProgressDialog() = default;

const MessageMap* UpdateProgressDialog::GetMessageMap() const
{
    static const MessageMapEntry entries[] = {
        MapMessage<&UpdateProgressDialog::OnDestroy>(WM_DESTROY),
        MapMessage<&UpdateProgressDialog::OnNcHitTest>(WM_NCHITTEST),
        MapMessage<&UpdateProgressDialog::OnPaint>(WM_PAINT),
        MapMessage<&UpdateProgressDialog::OnUpdateFinished>(WM_UPDATE_FINISHED),
        MapMessage<&UpdateProgressDialog::OnUpdateProgress>(WM_UPDATE_PROGRESS),
        MapMessage<&UpdateProgressDialog::OnBuildRegion>(WM_UPDATE_REGION),
    };
    static const MessageMap map = {CDialog::GetMessageMap(), entries, sizeof(entries) / sizeof(entries[0])};
    return &map;
}

BOOL UpdateProgressDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_skinBitmap.Reset(LoadBitmapA(ThisModule(), MAKEINTRESOURCEA(IDB_SKIN)));
    m_barBitmap.Reset(LoadBitmapA(ThisModule(), MAKEINTRESOURCEA(IDB_BAR)));
    MoveWindow(m_hWnd, 0, 0, 0, 0, TRUE);
    PrepareWindow();
    BuildWindowRegion();
    // Without its worker the run could never finish: end at once instead of hanging.
    if (!StartWorker())
        EndDialog(IDABORT);
    return TRUE;
}

void UpdateProgressDialog::PrepareWindow()
{
    // Without a skin the size stays 0 and the window never shows; the run still works.
    BITMAP info = {};
    if (m_skinBitmap && GetObjectA(m_skinBitmap.Get(), sizeof(info), &info) == sizeof(info)) {
        m_skinWidth = info.bmWidth;
        m_skinHeight = info.bmHeight;
    } else {
        m_skinWidth = 0;
        m_skinHeight = 0;
    }
    ClearLastError();
    SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, m_skinWidth, m_skinHeight, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowTextA(m_hWnd, m_title);
    m_shownPercent = 0;
    m_moduleFolder = GetModuleFolder();

    m_statusRect = {149, 13, 310, 28};
    m_percentRect = {316, 13, 477, 28};
    m_barRect = {150, 30, 345, 42};

    m_runState = Preparing;
    m_progress = 0;
    m_downloadTotal = 0;
    m_updateCount = 0;
    m_downloadDone = 0;
    m_downloadRangeLow = 0;
    m_downloadRangeHigh = 0;
    m_handedOver = FALSE;
    m_updateNeeded = FALSE;
    m_windowHidden = FALSE;
    m_filesToUpdate = 0;
    m_filesInstalled = 0;
    m_runFiles.clear();
    m_listSigned.clear();
    m_listExpires.clear();
    m_reportUrl.clear();
    m_stopRequested = false;
    m_retryWaitedMs = 0;
    m_retryAttempt = 0;
    m_networkStart = GetTickCount();
    // Only a folder that this run's list names is ever deleted at its end.
    m_installFolder.Empty();
    m_stagingFolder.Empty();

    m_isNt6 = m_mayHandOver ? IsNtVersion6() : FALSE;

    auto makeFont = [](int weight) {
        const bool modern = IsNtVersion5OrLater();
        return CreateFontA(modern ? 12 : 14, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, modern ? "돋움" : "Arial");
    };
    m_textFont.Reset(makeFont(FW_NORMAL));
    m_boldFont.Reset(makeFont(FW_BOLD));

    CenterWindow(nullptr);
}

void UpdateProgressDialog::ShowSkinnedWindow()
{
    MoveWindow(m_hWnd, 0, 0, m_skinWidth, m_skinHeight, TRUE);
    BuildWindowRegion();
    CenterWindow(nullptr);
}

void UpdateProgressDialog::OnOK()
{
    RemoveStagingFolder(m_stagingFolder);
    CDialog::OnOK();
}

void UpdateProgressDialog::OnCancel()
{
    // A close request only clears the staging folder; the run ends the dialog itself.
    RemoveStagingFolder(m_stagingFolder);
}

bool UpdateProgressDialog::OnQuitMessage()
{
    // The worker works on this object until its finish notification: the loop runs on
    // until then, so that neither the items nor the dialog go while it still uses them.
    m_stopRequested = true;
    return false;
}

BOOL UpdateProgressDialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

void UpdateProgressDialog::OnDestroy()
{
    ReleaseItems();
    m_skinBitmap.Close();
    m_barBitmap.Close();
    m_textFont.Close();
    m_boldFont.Close();
}

LRESULT UpdateProgressDialog::OnNcHitTest(POINT point)
{
    const LRESULT hit = DefWindowProcA(m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
    if (hit != HTCLIENT)
        return hit;
    RECT window;
    GetWindowRect(m_hWnd, &window);
    if (point.y > window.top && point.y < window.top + m_skinHeight)
        return HTCAPTION;  // drag by the body
    return hit;
}

void UpdateProgressDialog::ShowPercent(int value)
{
    m_shownPercent = value;
    InvalidateRect(m_hWnd, &m_barRect, TRUE);
    InvalidateRect(m_hWnd, &m_percentRect, TRUE);
}

void UpdateProgressDialog::SetStatusText(const CString& text)
{
    m_statusText = text;
    InvalidateRect(m_hWnd, &m_statusRect, TRUE);
}

namespace {

bool ReadVersion(OSVERSIONINFOA* info)
{
    *info = {};
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148
    return GetVersionExA(info) != FALSE;
}

}  // namespace

BOOL UpdateProgressDialog::IsNtVersion6()
{
    // 6 and later: a host that declares Windows 10 support is told 10.0, and those are
    // exactly the systems on which only the elevated helper can write the folders.
    OSVERSIONINFOA info;
    return ReadVersion(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 6;
}

BOOL UpdateProgressDialog::IsNtVersion5OrLater()
{
    OSVERSIONINFOA info;
    return ReadVersion(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}
