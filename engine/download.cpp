// Counting what to download, the staging folder, and fetching each file into it.
#include <memory>

#include "engine/form_request.h"
#include "framework/handles.h"
#include "framework/internet.h"
#include "framework/mbcs.h"
#include "framework/sha256_hash.h"
#include "framework/system_text.h"
#include "ui/progress_dialog.h"

namespace {

// Large reads: each one is a round trip through the platform (on loopback a transfer
// reaches about half of curl's speed at 64 KiB, three quarters at 256 KiB, curl's at
// 512 KiB). One buffer per download, so memory does not grow with the file.
constexpr UINT kChunkSize = 512 * 1024;
// The longest folder path that the shell's path functions take.
constexpr size_t kMaxFolderPath = MAX_PATH - 1;

const char* const kDownloadException = "파일을 다운받는중에 예외가 발생했습니다.";
// A file whose bytes are not those the list's digest names (error 47).
const char* const kDigestFailed = "다운받은 파일이 손상되었거나 변조되었습니다.";
// The system cannot compute the digest: the file is not trusted, and the text says why.
const char* const kDigestUnavailable = "파일의 무결성을 확인할 수 없습니다.";

// Ends a transfer that is not an internet failure; the code recorded before it stays.
struct DownloadAbort {};

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The system's text for a file error, naming the file.
CString FileErrorText(const CString& path, DWORD error)
{
    CString text = SystemMessageText(error);
    if (text.IsEmpty())
        text.Format("error %lu", static_cast<unsigned long>(error));
    CString described;
    described.Format("%s: %s", path.GetString(), text.GetString());
    return described.Left(1023);
}

}  // namespace

BOOL UpdateProgressDialog::CountUpdates()
{
    ClearLastError();
    Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, m_progress);
    for (INT_PTR i = 0; i < m_items.GetCount(); ++i) {
        UpdateItem* item = m_items.GetAt(i);
        if (!item)
            break;
        // The control never replaces its own module.
        if (MbEqualNoCase(item->m_strFileName.View(), m_moduleName.View())) {
            item->m_nUpdateState = kNoUpdate;
            continue;
        }
        if (ToBeUpdated(*item))
            ++m_downloadTotal;
    }
    m_updateCount = m_downloadTotal;
    m_updateNeeded = m_downloadTotal > 0 ? TRUE : FALSE;
    return TRUE;
}

BOOL UpdateProgressDialog::CreateStagingFolder()
{
    ClearLastError();
    if (MakeDirectoryPath(m_stagingFolder))
        return TRUE;
    m_lastErrorCode = 53;
    m_lastErrorText = "파일을 저장할 폴더를 생성할수 없습니다.";
    return FALSE;
}

BOOL UpdateProgressDialog::MakeDirectoryPath(const CString& folder)
{
    const std::string& path = folder.Str();
    // A path the shell cannot take is refused whole rather than cut into another one.
    if (path.empty() || path.size() > kMaxFolderPath)
        return FALSE;
    const LeadByteTable& table = LeadByteTable::Ansi();
    // Whole characters only: a lead byte's trail is never taken for a separator.
    for (size_t pos = 0;; pos += MbCharLength(path, pos, table)) {
        const bool atEnd = pos >= path.size();
        if (!atEnd && path[pos] != '\\')
            continue;
        const std::string prefix = atEnd ? path : path.substr(0, pos);
        if (!IsDirectory(prefix) && !CreateDirectoryA(prefix.c_str(), nullptr))
            return FALSE;
        if (atEnd)
            return TRUE;
    }
}

BOOL UpdateProgressDialog::DownloadFiles()
{
    ClearLastError();
    Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, m_progress);
    m_downloadDone = 0;
    const int base = m_shownPercent;
    // Without files to count the step is 0, not a division by zero.
    const int step = m_downloadTotal > 0 ? (m_downloadRangeHigh - m_downloadRangeLow) / m_downloadTotal : 0;
    m_items.ForEachWorkingCopy([&](UpdateItem& stored, UpdateItem& item) {
        if (!ToBeUpdated(item))
            return;
        if (m_stopRequested) {  // a quitting host: nothing more is fetched
            stored.m_nResult = kResultDownloadFailed;
            return;
        }
        Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, base + step * (m_downloadDone + 1));
        if (DownloadFile(item.m_strDownloadURL, item.m_strStagePath, item.m_strSha256)) {
            ++m_downloadDone;
            stored.m_nResult = kResultInstalled;
        } else {
            stored.m_nResult = kResultDownloadFailed;
        }
    });
    return TRUE;
}

BOOL UpdateProgressDialog::DownloadFile(CString url, CString localPath, const CString& sha256)
{
    // A keyed build installs only what the signed list vouches for through its digest.
    if (!m_listKeys.empty() && sha256.IsEmpty()) {
        m_lastErrorCode = 47;
        m_lastErrorText = kDigestUnavailable;
        return FALSE;
    }
    // The published digest is computed over the bytes as they arrive; the provider is
    // checked before any request, so that nothing is fetched or staged that cannot be verified.
    if (!sha256.IsEmpty() && !Sha256Hash().IsOpen()) {
        m_lastErrorCode = 47;
        m_lastErrorText = kDigestUnavailable;
        return FALSE;
    }
    // A URL that cannot be read (or, locked, is not trusted) is refused before any request,
    // with its error, rather than failing silently at the probe.
    HttpTarget target;
    if (!ReadHttpTarget(url, m_trustedSites, &target)) {
        m_lastErrorCode = 43;
        m_lastErrorText = kBadUrlText;
        return FALSE;
    }
    return WithRetries([&] { return DownloadFileOnce(url, localPath, sha256); });
}

BOOL UpdateProgressDialog::DownloadFileOnce(const CString& url, const CString& localPath, const CString& sha256)
{
    CInternetSession session;
    if (!session.IsOpen()) {
        // Without a session nothing can be fetched; this file fails, the run goes on.
        char message[1024] = {};
        CInternetException(session.GetOpenError()).GetErrorMessage(message, sizeof(message));
        m_lastErrorCode = 45;
        m_lastErrorText = message;
        return FALSE;
    }
    std::unique_ptr<Sha256Hash> hash;
    if (!sha256.IsEmpty()) {
        hash = std::make_unique<Sha256Hash>();
        if (!hash->IsOpen()) {
            m_lastErrorCode = 47;
            m_lastErrorText = kDigestUnavailable;
            return FALSE;
        }
    }
    const DWORD expected = ProbeContentLength(url);
    if (expected == 0 && m_probeError == ERROR_INTERNET_TIMEOUT) {
        char message[1024] = {};
        CInternetException(ERROR_INTERNET_TIMEOUT).GetErrorMessage(message, sizeof(message));
        m_lastErrorCode = 45;
        m_lastErrorText = message;
    }
    if (expected == 0) {
        m_transientFailure = IsTransientError(m_probeError);
        return FALSE;
    }

    unsigned long long total = 0;
    bool cutShort = false;
    std::string digest;
    try {
        FormRequest request = SendRequest(session, url, m_trustedSites, RequestShape::Form, m_networkTimeoutMs);
        if (request.badUrl) {
            m_lastErrorCode = 43;
            m_lastErrorText = kBadUrlText;
            throw DownloadAbort();
        }
        if (request.refused) {
            m_lastErrorCode = 45;
            m_lastErrorText = kRedirectRefusedText;
            throw DownloadAbort();
        }
        CHttpFile* file = request.file.get();
        const DWORD status = request.status;
        NoteTransientStatus(*file, status);
        if (status == HTTP_STATUS_SERVER_ERROR) {
            m_lastErrorCode = 41;
            m_lastErrorText = "업데이트 서버에서 오류가 발생했습니다.";
            throw DownloadAbort();
        }
        if (status == HTTP_STATUS_NOT_FOUND) {
            m_lastErrorCode = 11;
            m_lastErrorText = "서버에 다운로드할 파일이 존재하지 않습니다.";
            throw DownloadAbort();
        }
        if (status != HTTP_STATUS_OK)
            throw DownloadAbort();

        FileHandle local(CreateFileA(localPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
        if (!local) {
            m_lastErrorCode = 10;
            m_lastErrorText = FileErrorText(localPath, GetLastError());
            throw DownloadAbort();
        }
        // Zeroed, so every download touches the whole buffer: its memory is the same for
        // any file, not the pages that the reads of a small one happened to fill.
        const std::unique_ptr<char[]> chunk(new char[kChunkSize]());
        while (const UINT read = file->Read(chunk.get(), kChunkSize)) {
            if (m_stopRequested)
                throw DownloadAbort();
            DWORD written = 0;
            if (!WriteFile(local.Get(), chunk.get(), read, &written, nullptr) || written != read)
                throw DownloadAbort();
            if (hash && !hash->Add(chunk.get(), read)) {
                m_lastErrorCode = 47;
                m_lastErrorText = kDigestUnavailable;
                throw DownloadAbort();
            }
            total += read;
            // A body longer than the probed length is refused at its first read past it,
            // not written out to the end.
            if (total > expected)
                break;
        }
        if (hash)
            digest = hash->HexDigest();
        // A response that ends before its own length was cut short on the way: worth another
        // try, where a complete response of another length is not.
        DWORD own = 0;
        DWORD ownSize = sizeof(own);
        cutShort = HttpQueryInfoA(file->Handle(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &own, &ownSize,
                                  nullptr) &&
                   total < own;
        local.Close();
        file->Close();
        request.connection->Close();
    } catch (const CInternetException& failure) {
        char message[1024] = {};
        failure.GetErrorMessage(message, sizeof(message));
        m_lastErrorCode = 45;
        m_lastErrorText = message;
        m_transientFailure = IsTransientError(failure.m_dwError);
        return FALSE;
    } catch (...) {
        // Also the aborts above: a code recorded for this or an earlier file stays.
        if (m_lastErrorCode == 0) {
            m_lastErrorCode = 45;
            m_lastErrorText = kDownloadException;
        }
        return FALSE;
    }
    if (total != expected) {
        DeleteFileA(localPath);
        m_transientFailure = cutShort;
        return FALSE;
    }
    if (!sha256.IsEmpty() && digest != sha256.Str()) {
        // Never installed: the staged copy goes, the installed file stays as it was.
        DeleteFileA(localPath);
        m_lastErrorCode = 47;
        m_lastErrorText = digest.empty() ? kDigestUnavailable : kDigestFailed;
        return FALSE;
    }
    return TRUE;
}
