// The dialog's side of the two notifications: status text, percent, and the end.
#include "ui/progress_dialog.h"

namespace {

// The status while a request waits for its next try: the try and the most there will be.
const char* const kRetryFormat = "연결을 다시 시도하는 중입니다... (%d/%d)";

}  // namespace

LRESULT UpdateProgressDialog::OnUpdateProgress(WPARAM code, LPARAM percent)
{
    int shown = static_cast<int>(percent);
    if (code == PROGRESS_RETRY) {
        CString text;
        text.Format(kRetryFormat, m_retryAttempt, kMaxRetries);
        SetStatusText(text);
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    }
    if (code == PROGRESS_UP_TO_DATE) {
        m_runState = UpToDate;
        shown = 100;
    }

    if (const char* text = StatusTextOf(m_runState)) {
        if (m_runState == CountingUpdates && !m_windowHidden)
            OnPaint();  // the window has just been sized: paint it at once
        if (m_runState == Downloading && m_downloadDone > 0) {
            CString progress;
            progress.Format(kDownloadingFileFormat, m_downloadDone + 1, m_downloadTotal);
            SetStatusText(progress);
        } else {
            SetStatusText(text);
        }
        ShowPercent(shown);
    }

    InvalidateRect(m_hWnd, nullptr, FALSE);
    return 0;
}

LRESULT UpdateProgressDialog::OnUpdateFinished(WPARAM, LPARAM percent)
{
    ShowPercent(m_updateNeeded ? static_cast<int>(percent) : 0);
    for (INT_PTR i = 0; i < m_items.GetCount(); ++i) {
        const UpdateItem* item = m_items.GetAt(i);
        if (!item)
            continue;
        m_runFiles.push_back(RunFile{item->m_strTargetPath.Str(), FileDecisionOf(item->m_nUpdateState, item->m_bAtFirst != 0),
                                     item->m_nResult, item->m_nErrorCode});
        if (!ToBeUpdated(*item))
            continue;
        ++m_filesToUpdate;
        m_filesInstalled += item->m_nResult == kResultInstalled;
    }
    ReleaseItems();
    SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, m_skinWidth, m_skinHeight, SWP_NOSIZE | SWP_NOMOVE);
    if (m_stopRequested) {
        // The host is quitting: no hand-over, and the caller learns the run was cut short.
        m_handedOver = FALSE;
        RemoveStagingFolder(m_stagingFolder);
        EndDialog(IDABORT);
        return 0;
    }
    OnOK();
    return 0;
}
