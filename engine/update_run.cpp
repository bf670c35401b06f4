// The update run: the worker that drives the steps in their fixed order.
#include "framework/internet.h"
#include "framework/worker_thread.h"
#include "ui/progress_dialog.h"

void UpdateProgressDialog::ClearLastError()
{
    m_lastErrorCode = 0;
    m_lastErrorText.Empty();
}

void UpdateProgressDialog::RecordError(RunError error, const char* text)
{
    const CodeRow& row = ErrorRow(error);
    m_lastErrorCode = row.code;
    m_lastErrorText = text ? text : row.text;
}

void UpdateProgressDialog::RecordInternetError(RunError step, DWORD error)
{
    char message[1024] = {};
    CInternetException(error).GetErrorMessage(message, sizeof(message));
    RecordError(step, message);
}

void UpdateProgressDialog::Notify(UINT message, WPARAM wParam, LPARAM lParam) const
{
    SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL UpdateProgressDialog::StartWorker()
{
    ShowPercent(0);
    return BeginWorkerThread(&UpdateProgressDialog::UpdateWorker, this);
}

UINT UpdateProgressDialog::UpdateWorker(LPVOID param)
{
    auto* dialog = static_cast<UpdateProgressDialog*>(param);
    const BOOL isNt6 = dialog->m_isNt6;

    // Sets the state and percent that the step's first notification shows.
    auto enter = [dialog](RunState state, int progress) {
        dialog->m_runState = state;
        dialog->m_progress = progress;
    };

    enter(Preparing, 0);
    dialog->Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, 0);

    // Each step runs only while the host is not quitting.
    auto go = [dialog] { return !dialog->m_stopRequested; };
    // Each step's outcome goes to the run log; URLs with their host and path only.
    auto logged = [dialog](const char* step, BOOL succeeded, const std::string& detail = std::string()) {
        dialog->LogStep(step, succeeded, detail);
        return succeeded;
    };
    const std::string list = LoggedUrl(dialog->m_listUrl.Str());
    logged("start", TRUE, "list=" + list + " files=" + LoggedUrl(dialog->m_dataUrl.Str()));
    [&] {
        enter(FetchingList, 0);
        if (!logged("list", dialog->FetchUpdateList(), list) || !go())
            return;
        enter(ParsingList, 5);
        if (!logged("parse", dialog->ParseUpdateList()) || !go())
            return;
        enter(CheckingVersions, 8);
        if (!logged("versions", dialog->CheckVersions()) || !go())
            return;
        enter(CountingUpdates, 10);
        dialog->CountUpdates();
        logged("count", TRUE, std::to_string(dialog->m_downloadTotal) + " to update");

        if (!dialog->m_updateNeeded) {
            dialog->Notify(WM_UPDATE_PROGRESS, PROGRESS_UP_TO_DATE, 100);
            return;
        }
        if (isNt6) {
            // The helper program does the downloading; the window never shows.
            dialog->m_handedOver = TRUE;
            logged("hand-over", TRUE);
            dialog->Notify(WM_UPDATE_PROGRESS, PROGRESS_UP_TO_DATE, 100);
            return;
        }

        dialog->ShowSkinnedWindow();
        dialog->m_windowHidden = FALSE;
        dialog->Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, dialog->m_progress);

        enter(PreparingStaging, 15);
        if (!go() || !logged("staging", dialog->CreateStagingFolder()))
            return;
        dialog->m_downloadRangeLow = 25;
        dialog->m_downloadRangeHigh = 90;
        enter(Downloading, 25);
        if (!logged("download", dialog->DownloadFiles()) || !go())
            return;
        enter(Installing, 95);
        if (!logged("install", dialog->InstallFiles()))
            return;
        enter(Completed, 100);
        dialog->Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, 100);
        Sleep(300);
    }();

    // The dialog may end and go once the finish is handled: what is needed after it is read first.
    const bool pause = dialog->m_updateCount != 0 && dialog->m_isNt6 != 1;
    dialog->Notify(WM_UPDATE_FINISHED, 0, dialog->m_progress);
    if (pause)
        Sleep(50);
    return 1;
}
