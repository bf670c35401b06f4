// Counting what to download, the staging folder, and fetching each file into it.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/form_request.h"
#include "engine/run_folders.h"
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

// A raw response header; empty when there is none.
std::string HeaderOf(CHttpFile& file, DWORD query)
{
    char value[512] = {};
    DWORD size = sizeof(value) - 1;
    if (!HttpQueryInfoA(file.Handle(), query, value, &size, nullptr))
        return std::string();
    return std::string(value, size);
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

// The folder without a trailing separator, and the folder above it (whole characters only).
static void SplitFolder(const std::string& path, std::string* folder, std::string* parent)
{
    const LeadByteTable& table = LeadByteTable::Ansi();
    size_t last = std::string::npos, end = path.size();
    for (size_t pos = 0; pos < path.size(); pos += MbCharLength(path, pos, table)) {
        if (path[pos] != '\\')
            continue;
        if (pos + 1 == path.size())
            end = pos;
        else
            last = pos;
    }
    *folder = path.substr(0, end);
    *parent = last == std::string::npos ? std::string() : path.substr(0, last);
}

BOOL UpdateProgressDialog::CreateStagingFolder()
{
    ClearLastError();
    std::string folder, parent;
    SplitFolder(m_stagingFolder.Str(), &folder, &parent);
    // What is staged must be what this run checked: a folder left from before is emptied by
    // removing it, and one that is a junction, a link or a file is refused (it could lead the
    // run's writes, and the elevated copy's reads, anywhere).
    const bool found = GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (found && !IsPlainFolder(folder)) {
        RecordError(RunError::StagingFolderRefused);
        return FALSE;
    }
    if (found && (!RemoveStagingFolder(folder.c_str()) || IsDirectory(folder))) {
        RecordError(RunError::StagingFolder);
        return FALSE;
    }
    // Made fresh, so that nobody else's permissions come with it: an elevated run's is
    // writable only by administrators and the system.
    const bool made = (parent.empty() || MakeDirectoryPath(parent.c_str())) && CreateRunFolder(folder, true);
    if (!made || !IsPlainFolder(folder)) {
        RecordError(RunError::StagingFolder);
        return FALSE;
    }
    return TRUE;
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
            stored.m_nErrorCode = m_lastErrorCode;
        }
    });
    return TRUE;
}

BOOL UpdateProgressDialog::DownloadFile(CString url, CString localPath, const CString& sha256)
{
    // A keyed build installs only what the signed list vouches for through its digest. The
    // digest is computed over the bytes as they arrive; the provider is checked before any
    // request, so that nothing is fetched or staged that cannot be verified.
    if (sha256.IsEmpty() ? !m_listKeys.empty() : !Sha256Hash().IsOpen()) {
        RecordError(RunError::DigestUnavailable);
        return FALSE;
    }
    // A URL that cannot be read (or, locked, is not trusted) is refused before any request,
    // with its error, rather than failing silently at the probe.
    HttpTarget target;
    if (!ReadHttpTarget(url, m_trustedSites, &target)) {
        RecordError(RunError::BadUrl);
        return FALSE;
    }
    m_resumeBytes = 0;
    m_resumeValidator.clear();
    m_resumeHash.reset();
    if (WithRetries([&] { return DownloadFileOnce(url, localPath, sha256); }))
        return TRUE;
    // The bytes of a try that was cut are no file: nothing half-downloaded stays staged.
    if (m_resumeBytes > 0)
        DeleteFileA(localPath);
    m_resumeBytes = 0;
    return FALSE;
}

BOOL UpdateProgressDialog::DownloadFileOnce(const CString& url, const CString& localPath, const CString& sha256)
{
    CInternetSession session;
    if (!session.IsOpen()) {
        // Without a session nothing can be fetched; this file fails, the run goes on.
        RecordInternetError(RunError::Download, session.GetOpenError());
        return FALSE;
    }
    std::unique_ptr<Sha256Hash> hash;
    if (!sha256.IsEmpty()) {
        hash = std::make_unique<Sha256Hash>();
        if (!hash->IsOpen()) {
            RecordError(RunError::DigestUnavailable);
            return FALSE;
        }
    }
    // A resumed try is a fetch only: the length is the one the first try's probe measured.
    const DWORD expected = m_resumeBytes > 0 ? m_resumeExpected : ProbeContentLength(url);
    if (expected == 0 && m_probeError == ERROR_INTERNET_TIMEOUT) {
        RecordInternetError(RunError::Download, ERROR_INTERNET_TIMEOUT);
    }
    if (expected == 0) {
        m_transientFailure = IsTransientError(m_probeError);
        return FALSE;
    }

    // A try after a cut asks for the rest only, and only of the same version of the file.
    const unsigned long long resumeFrom = m_resumeBytes;
    std::string extra;
    if (resumeFrom > 0) {
        extra = "Range: bytes=" + std::to_string(resumeFrom) + "-\r\n";
        if (!m_resumeValidator.empty())
            extra += "If-Range: " + m_resumeValidator + "\r\n";
    }
    m_resumeBytes = 0;  // set again only when this try is cut as well

    unsigned long long total = 0;
    bool cutShort = false;
    std::string digest, validator;
    // A try cut short hands on its staged bytes, their digest so far and the file's
    // validator: the next one asks for the rest. One that waited out the timeout (or
    // crawled) is a retry, whatever it brought: a trickling server gets the retries, not
    // the reconnections.
    const auto keepForResume = [&](bool timedOut) {
        m_resumeBytes = total;
        m_resumeValidator = validator;
        m_madeProgress = total > resumeFrom && !timedOut;
        m_resumeHash = std::move(hash);
        m_resumeExpected = expected;
    };
    try {
        FormRequest request =
            SendRequest(session, url, m_trustedSites, RequestShape::Form, Bounds(), extra);
        if (request.badUrl) {
            RecordError(RunError::BadUrl);
            throw DownloadAbort();
        }
        if (request.refused) {
            RecordError(RunError::DownloadRedirectRefused);
            throw DownloadAbort();
        }
        CHttpFile* file = request.file.get();
        const DWORD status = request.status;
        NoteTransientStatus(*file, status);
        if (status == HTTP_STATUS_SERVER_ERROR) {
            RecordError(RunError::ServerError);
            throw DownloadAbort();
        }
        if (status == HTTP_STATUS_NOT_FOUND) {
            RecordError(RunError::NotOnServer);
            throw DownloadAbort();
        }
        // 206 continues the staged bytes only when it is exactly their rest; a 200 (a server
        // that ignores ranges, or a file that changed) starts again from zero.
        const bool resumed = status == HTTP_STATUS_PARTIAL_CONTENT && resumeFrom > 0 &&
                             HeaderOf(*file, HTTP_QUERY_CONTENT_RANGE) ==
                                 "bytes " + std::to_string(resumeFrom) + "-" + std::to_string(expected - 1) + "/" +
                                     std::to_string(expected);
        if (status == HTTP_STATUS_PARTIAL_CONTENT && !resumed) {
            m_transientFailure = TRUE;  // the next try asks for the whole file
            throw DownloadAbort();
        }
        if (status != HTTP_STATUS_OK && !resumed)
            throw DownloadAbort();
        validator = HeaderOf(*file, HTTP_QUERY_ETAG);
        if (validator.empty())
            validator = HeaderOf(*file, HTTP_QUERY_LAST_MODIFIED);

        FileHandle local(CreateFileA(localPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     resumed ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!local) {
            const CString text = FileErrorText(localPath, GetLastError());
            RecordError(RunError::LocalFile, text.GetString());
            throw DownloadAbort();
        }
        if (resumed) {
            // The digest covers the whole file: it goes on from the cut try's state, which
            // holds exactly the staged bytes, or (without one) reads them first.
            const bool carried = hash && m_resumeHash;
            if (carried)
                hash = std::move(m_resumeHash);
            if (!HashFileBytes(local.Get(), resumeFrom, carried ? nullptr : hash.get())) {
                m_transientFailure = TRUE;
                throw DownloadAbort();
            }
            total = resumeFrom;
        }
        m_resumeHash.reset();
        // The request's own buffer (zeroed when it is made, so every download touches all
        // of it: its memory is the same for any file).
        const char* chunk = nullptr;
        while (const UINT read = file->ReadView(&chunk, kChunkSize)) {
            if (m_stopRequested)
                throw DownloadAbort();
            DWORD written = 0;
            if (!WriteFile(local.Get(), chunk, read, &written, nullptr) || written != read)
                throw DownloadAbort();
            if (hash && !hash->Add(chunk, read)) {
                RecordError(RunError::DigestUnavailable);
                throw DownloadAbort();
            }
            total += read;
            // A body longer than the probed length is refused at its first read past it,
            // not written out to the end.
            if (total > expected)
                break;
        }
        // A response that ends before its own length was cut short on the way: worth another
        // try, where a complete response of another length, or one past the probed length
        // (left unread), is not.
        DWORD own = 0;
        DWORD ownSize = sizeof(own);
        cutShort = total <= expected &&
                   HttpQueryInfoA(file->Handle(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &own, &ownSize,
                                  nullptr) &&
                   total - (resumed ? resumeFrom : 0) < own;
        local.Close();
        file->Close();
        request.connection->Close();
    } catch (const CInternetException& failure) {
        RecordInternetError(RunError::Download, failure.m_dwError);
        m_transientFailure = IsTransientError(failure.m_dwError);
        if (m_transientFailure && total > 0 && total < expected)
            keepForResume(failure.m_dwError == ERROR_INTERNET_TIMEOUT);
        return FALSE;
    } catch (...) {
        // Also the aborts above: a code recorded for this or an earlier file stays.
        if (m_lastErrorCode == 0) {
            RecordError(RunError::DownloadException);
        }
        return FALSE;
    }
    if (total != expected) {
        m_transientFailure = cutShort;
        if (cutShort && total > 0 && total < expected) {
            keepForResume(false);
            return FALSE;
        }
        DeleteFileA(localPath);
        return FALSE;
    }
    // Only now: the digest ends the hash, which a cut try hands on to the next.
    if (hash)
        digest = hash->HexDigest();
    if (!sha256.IsEmpty() && digest != sha256.Str()) {
        // Never installed: the staged copy goes, the installed file stays as it was.
        DeleteFileA(localPath);
        RecordError(digest.empty() ? RunError::DigestUnavailable : RunError::DigestFailed);
        return FALSE;
    }
    return TRUE;
}
