// UpdateProgressDialog: the modal progress window, and at the same time the job record
// of the update run. The engine steps are members too; each lives in the engine file
// that its name points to.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "engine/codes.h"
#include "engine/path_macro_text.h"
#include "engine/retry_policy.h"
#include "engine/run_log_text.h"
#include "engine/run_report.h"
#include "engine/update_item.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "framework/internet.h"
#include "framework/narrow_string.h"
#include "framework/sha256_hash.h"
#include "trust/list_acceptance.h"
#include "ui/run_state.h"
#include "ui/skin_region.h"

constexpr UINT IDD_UPDATE_PROGRESS = 201;
constexpr UINT IDB_SKIN = 202;
constexpr UINT IDB_BAR = 203;

class CHttpFile;

// The running module's version "a.b.c.d" (its version resource), empty without one.
std::string ModuleVersionText();

// Where an identity's run log is kept: the user's (low-integrity) data, or the machine's.
std::string RunLogPath(const std::string& identity, bool machine);

class UpdateProgressDialog : public CDialog, public SkinRegion {
public:
    UpdateProgressDialog();
    ~UpdateProgressDialog() override;

    // --- job record (the engine side is written by the worker, read after each message)
    int m_progress = 0;
    BOOL m_isNt6 = FALSE;
    BOOL m_handedOver = FALSE;
    BOOL m_windowHidden = FALSE;
    BOOL m_updateNeeded = FALSE;
    int m_runState = Preparing;
    int m_downloadTotal = 0;
    int m_updateCount = 0;
    int m_downloadDone = 0;
    int m_downloadRangeLow = 0;
    int m_downloadRangeHigh = 0;
    int m_skinWidth = 0;
    int m_skinHeight = 0;
    HRESULT m_comInitResult = S_OK;
    CBitmap m_skinBitmap;
    CBitmap m_barBitmap;
    RECT m_statusRect = {};
    RECT m_percentRect = {};
    RECT m_barRect = {};
    int m_shownPercent = 0;
    CFont m_textFont;
    CFont m_boldFont;
    UpdateItemList m_items;
    int m_lastErrorCode = 0;
    CString m_lastErrorText;
    CString m_title;
    CString m_listUrl;
    CString m_moduleName;
    CString m_moduleFolder;
    CString m_listText;
    CString m_installFolder;
    CString m_stagingFolder;
    CString m_dataUrl;
    CString m_statusText;
    // The machine's folders behind the list's macros, asked once per run.
    PathMacroValues m_folderValues;
    BOOL m_foldersKnown = FALSE;
    // For the helper program: the control module whose folder and name the run uses
    // (empty: the module this code is in), and whether a run may hand over at all.
    CString m_controlModulePath;
    BOOL m_mayHandOver = TRUE;
    // A locked build's sites: every request of the run, and every redirect it follows, is
    // judged by them (empty: not locked). Set by the control and the helper before a run.
    std::vector<std::string> m_trustedSites;
    // A keyed build's list keys (PEM): the list must be signed by one of them and not be
    // past its expiry, and every file must carry its digest (empty: not keyed).
    std::vector<std::string> m_listKeys;
    // Whom a keyed list must be for (the build's identity name), and where the newest signing
    // time taken and the revoked keys are kept (a registry root and key; empty: not kept).
    std::string m_identityName;
    HKEY m_listMemoryRoot = HKEY_CURRENT_USER;
    std::string m_listMemoryKey;
    // The run log (empty: none), whether it is the machine's (the elevated helper's), and its
    // cap (the tests shorten it).
    std::string m_logPath;
    bool m_logMachine = false;
    size_t m_logCapBytes = kRunLogCapBytes;
    // The bound on every wait of a request (the tests shorten it), and whether the last
    // probe ended by running into it.
    DWORD m_networkTimeoutMs = kNetworkTimeoutMs;
    // The run's network ceiling (the tests shorten it) and when the run's network time began.
    DWORD m_networkCeilingMs = kNetworkCeilingMs;
    DWORD m_networkStart = 0;
    DWORD m_probeError = 0;  // the WinINet error that ended the last probe, 0 for none
    // Retries: the first wait and the run's budget for all waits (the tests shorten both),
    // what the run has waited so far, and what the last try said of itself.
    DWORD m_retryBaseMs = kRetryBaseMs;
    DWORD m_retryBudgetMs = kRunRetryBudgetMs;
    DWORD m_retryWaitedMs = 0;
    int m_retryAttempt = 0;
    BOOL m_transientFailure = FALSE;
    DWORD m_retryAfterMs = 0;
    // A download cut short: the bytes staged so far and the response's validator (ETag,
    // else Last-Modified), from which the next try resumes.
    unsigned long long m_resumeBytes = 0;
    std::string m_resumeValidator;
    std::unique_ptr<Sha256Hash> m_resumeHash;  // the digest so far of the staged bytes
    DWORD m_resumeExpected = 0;                // the length the first try's probe measured
    // The last try staged more of its file than the one before: it is tried again at once,
    // and does not count as one of the retries.
    BOOL m_madeProgress = FALSE;
    // The host is quitting (WM_QUIT reached the modal loop): the worker skips what is left
    // of the run, and the dialog ends with IDABORT once the worker has finished with it.
    std::atomic<bool> m_stopRequested{false};
    // What the run left, tallied when it finished, before the items were released.
    int m_filesToUpdate = 0;
    int m_filesInstalled = 0;
    // Every listed file as the run left it, and the taken list's signing and expiry times
    // (14 digits; empty when it was not signed): what the page reads back (GetLastRun).
    std::vector<RunFile> m_runFiles;
    std::string m_listSigned;
    std::string m_listExpires;
    // Where the taken signed list asks each run's outcome to be reported (absolute); empty:
    // nowhere. Only a verified list sets it.
    std::string m_reportUrl;

    // --- the run (engine/update_run.cpp)
    static UINT UpdateWorker(LPVOID dialog);
    BOOL StartWorker();
    void ClearLastError();
    // Records code with the system's text for a WinINet error.
    // Records an error of the code table: its code and text, or the given text where the
    // row's is the system's own.
    void RecordError(RunError error, const char* text = nullptr);
    // The same with WinINet's text for error.
    void RecordInternetError(RunError step, DWORD error);

    // --- the item list (engine/update_item_list.cpp)
    void AddUpdateItem(const UpdateItem& item);
    void AddUpdateItem(UpdateItem&& item);  // takes the record over instead of copying it
    void ReleaseItems();

    // --- the steps of a run, in order; non-zero lets the run go on
    BOOL FetchUpdateList();      // engine/list_fetch.cpp
    BOOL ParseUpdateList();      // engine/list_parser.cpp
    BOOL CheckVersions();        // engine/version_check.cpp
    BOOL CountUpdates();         // engine/download.cpp
    BOOL CreateStagingFolder();  // engine/download.cpp
    BOOL DownloadFiles();        // engine/download.cpp
    BOOL InstallFiles();         // engine/install.cpp
    BOOL RemoveStagingFolder(const CString& folder);  // engine/install.cpp

    // --- the list (engine/list_fetch.cpp, engine/list_parser.cpp)
    DWORD ProbeContentLength(CString url);
    // Keyed builds: the fetched list's signature and expiry (error 48 when they fail).
    BOOL VerifyListSignature();
    std::string ReportUrlFor(const std::string& report) const;
    // --- what the run did (engine/outcome_report.cpp)
    // The run's outcome as the page and the operator's server read it.
    RunReport Outcome() const;
    // One GET to the report URL with the outcome, bounded by kReportTimeoutMs, never retried.
    void SendOutcomeReport(const RunReport& report);
    // --- the run log (engine/run_log.cpp)
    // One line for a step's outcome: its code and text when it failed, else detail (code
    // page 949).
    void LogStep(const char* step, BOOL succeeded, const std::string& detail = std::string());
    // A line per listed file and one for the run's outcome.
    void LogRunEnd(const RunReport& report);
    void LogLine(const char* step, int code, const std::string& text);
    // What the keyed run remembers of the lists it took (engine/list_memory.cpp).
    ListMemory ReadListMemory(const std::string& channel);
    BOOL WriteListMemory(const std::string& channel, const ListMemory& memory);
    BOOL FetchListOnce();

    // --- retries (engine/retry.cpp)
    // Runs one try of a request until it succeeds, fails for good, or has been retried
    // kMaxRetries times; the first failure's code and text stay recorded.
    template <typename Try> BOOL WithRetries(Try once);
    // Notes a status worth another try, and the server's Retry-After.
    void NoteTransientStatus(CHttpFile& file, DWORD status);
    // Waits before retry number attempt + 1, showing it; false when the run's retry budget
    // or a quitting host says no.
    BOOL WaitBeforeRetry(int attempt);
    // The bounds of the run's next request; whether its network time is spent.
    NetworkBounds Bounds() const;
    BOOL NetworkTimeSpent() const;
    BOOL ParseUpdateEntry(CString line);

    // --- file tests of the version check (engine/version_check.cpp)
    BOOL FileExists(const CString& path);
    BOOL FileSizeMatches(const CString& path, int size);
    BOOL FileTimeMatches(const CString& path, const CString& stamp);

    // --- download (engine/download.cpp)
    BOOL MakeDirectoryPath(const CString& folder);
    // sha256: the digest the file must have (its entry's SHA256 word), or empty.
    BOOL DownloadFile(CString url, CString localPath, const CString& sha256 = CString());
    BOOL DownloadFileOnce(const CString& url, const CString& localPath, const CString& sha256);

    // --- installation (engine/install.cpp, engine/register_launch.cpp)
    BOOL InstallFile(const UpdateItem& item);
    BOOL RegisterComponent(const CString& path, BOOL doRegister);
    BOOL LaunchProgram(const CString& path, BOOL silent);

    // --- folders (engine/path_macros.cpp)
    CString GetModuleFolder();
    void QuerySystemFolders();
    CString ExpandPathMacros(CString text);

    // --- window side (ui/progress_dialog.cpp)
    void PrepareWindow();
    void ShowPercent(int value);
    void SetStatusText(const CString& text);
    static BOOL IsNtVersion6();
    static BOOL IsNtVersion5OrLater();
    // Sizes, shapes and centres the window to the skin (called on the worker).
    void ShowSkinnedWindow();

    // --- notifications (ui/progress_notify.cpp)
    LRESULT OnUpdateProgress(WPARAM code, LPARAM percent);
    LRESULT OnUpdateFinished(WPARAM unused, LPARAM percent);

    // --- skin and painting (ui/skin_paint.cpp)
    void BuildWindowRegion() override;
    void OnPaint();
    void PaintSkin(HDC dc);
    void PaintProgress(HDC dc, int percent);
    void PaintStatus(HDC dc);

    // Sends a notification to the dialog's window and waits for it to be handled.
    void Notify(UINT message, WPARAM wParam, LPARAM lParam) const;

    HWND Window() const { return m_hWnd; }

protected:
    const MessageMap* GetMessageMap() const override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    bool OnQuitMessage() override;

    void OnDestroy();
    LRESULT OnNcHitTest(POINT point);
    // Builds the region on the dialog's own thread, where painting also happens.
    LRESULT OnBuildRegion(WPARAM, LPARAM);
    void BuildRegionNow();

};

// Private: asks the dialog's thread to build the window region (see BuildWindowRegion).
constexpr UINT WM_UPDATE_REGION = WM_USER + 103;

template <typename Try>
BOOL UpdateProgressDialog::WithRetries(Try once)
{
    int firstCode = 0, reconnects = 0;
    CString firstText;
    for (int attempt = 0;; ++attempt) {
        m_transientFailure = FALSE;
        m_retryAfterMs = 0;
        m_madeProgress = FALSE;
        const DWORD started = GetTickCount();
        if (once())
            return TRUE;
        if (m_transientFailure && m_madeProgress && reconnects < kMaxReconnects && !NetworkTimeSpent()) {
            ++reconnects;
            --attempt;  // a connection that delivered and then dropped: reconnect at once
            ClearLastError();
            continue;
        }
        // A try that waited out a timeout spends the run's retry time too, the timeout's
        // worth (what it brought before is not the server's stall): a stalled or trickling
        // server ends its step within about a minute or two, retries included.
        if (GetTickCount() - started >= m_networkTimeoutMs)
            m_retryWaitedMs += m_networkTimeoutMs;
        if (attempt == 0) {
            firstCode = m_lastErrorCode;
            firstText = m_lastErrorText;
        }
        if (!m_transientFailure || attempt == kMaxRetries || NetworkTimeSpent() || !WaitBeforeRetry(attempt)) {
            m_lastErrorCode = firstCode;
            m_lastErrorText = firstText;
            return FALSE;
        }
        ClearLastError();
    }
}
