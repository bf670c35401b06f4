// Fetching the update list: a light probe for its announced length, then the list itself.
#include <algorithm>
#include <memory>
#include <utility>

#include "engine/form_request.h"
#include "trust/list_signature.h"
#include "framework/rsa_key.h"
#include "framework/sha256_hash.h"
#include "framework/internet.h"
#include "ui/progress_dialog.h"

namespace {


// The longest list taken: a 100,000-entry list is about 8 MB.
constexpr DWORD kMaxListBytes = 32u * 1024 * 1024;

// Now in UTC as 14 digits, the form the list's expiry is compared in.
std::string UtcNowDigits()
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    char digits[16] = {};
    wsprintfA(digits, "%04u%02u%02u%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    return digits;
}

}  // namespace

DWORD UpdateProgressDialog::ProbeContentLength(CString url)
{
    m_probeError = 0;
    CInternetSession session("Updater");
    if (!session.IsOpen())
        return 0;
    try {
        // The same reading, lock and redirect rules as every other request.
        const FormRequest probe = SendRequest(session, url, m_trustedSites, RequestShape::Probe, Bounds());
        if (!probe.file)
            return 0;
        DWORD length = 0;
        DWORD size = sizeof(length);
        if (!HttpQueryInfoA(probe.file->Handle(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                            nullptr))
            return 0;
        return length;
    } catch (const CInternetException& failure) {
        // Kept for the caller: a stalled or refusing server is not a missing list.
        m_probeError = failure.m_dwError;
        return 0;
    }
}

BOOL UpdateProgressDialog::FetchUpdateList()
{
    ClearLastError();
    Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, m_progress);
    return WithRetries([this] { return FetchListOnce(); }) && VerifyListSignature();
}

BOOL UpdateProgressDialog::FetchListOnce()
{
    CInternetSession session;
    m_listText.Empty();
    if (!session.IsOpen()) {
        RecordInternetError(RunError::ListFetch, session.GetOpenError());
        return FALSE;
    }

    const DWORD announced = ProbeContentLength(m_listUrl);
    if (announced == 0 && m_probeError == ERROR_INTERNET_TIMEOUT) {
        RecordInternetError(RunError::ListFetch, ERROR_INTERNET_TIMEOUT);
        m_transientFailure = TRUE;
        return FALSE;
    }
    if (announced > kMaxListBytes) {
        RecordError(RunError::ListTooLong);
        return FALSE;
    }
    if (announced == 0) {
        RecordError(RunError::NoList);
        m_transientFailure = IsTransientError(m_probeError);
        return FALSE;
    }

    try {
        FormRequest request = SendRequest(session, m_listUrl, m_trustedSites, RequestShape::Form, Bounds());
        if (request.badUrl) {
            RecordError(RunError::BadUrl);
            return FALSE;
        }
        if (request.refused) {
            RecordError(RunError::ListRedirectRefused);
            return FALSE;
        }
        CHttpFile* file = request.file.get();
        const DWORD status = request.status;
        if (status != HTTP_STATUS_OK) {
            if (status == HTTP_STATUS_SERVER_ERROR) {
                RecordError(RunError::ServerError);
            } else if (status == HTTP_STATUS_NOT_FOUND) {
                RecordError(RunError::NoList);
            }
            NoteTransientStatus(*file, status);
            return FALSE;
        }

        // Read into the list's own storage: a later run reuses what an earlier one grew.
        m_listText.Preallocate(static_cast<int>(announced));
        char piece[1024];
        while (const UINT length = file->ReadPiece(piece, sizeof(piece) - 1)) {
            m_listText.Append(piece, static_cast<int>(length));
            // The probe may have told less than the server now sends.
            if (m_listText.GetLength() > static_cast<int>(kMaxListBytes)) {
                m_listText.Empty();
                RecordError(RunError::ListTooLong);
                return FALSE;
            }
        }
        file->Close();
        request.connection->Close();
        return TRUE;
    } catch (const CInternetException& failure) {
        m_listText.Empty();  // a list cut off is no list
        RecordInternetError(RunError::ListFetch, failure.m_dwError);
        m_transientFailure = IsTransientError(failure.m_dwError);
        return FALSE;
    } catch (...) {
        m_listText.Empty();
        return FALSE;
    }
}

std::string UpdateProgressDialog::ReportUrlFor(const std::string& report) const
{
    if (report.empty())
        return std::string();
    // Relative to the list, as a browser would read it.
    return CombineUrl(m_listUrl, report.c_str());
}

BOOL UpdateProgressDialog::VerifyListSignature()
{
    if (m_listKeys.empty())
        return TRUE;
    // The list becomes its signed text, in place: the parser reads exactly what was signed.
    std::vector<ListSignature> signatures;
    int malformed = 0;
    TakeOutSignatureLines(m_listText.Buffer(), &signatures, &malformed);
    const std::string& signedText = m_listText.Str();
    // The text is hashed once, and only when the list has no more signature lines than a
    // publisher writes; each candidate is then one check of its digest.
    std::string digest;
    Sha256Hash hash;
    if (signatures.size() + static_cast<size_t>(malformed) <= kMaxSignatureLines &&
        hash.Add(signedText.data(), static_cast<DWORD>(signedText.size())))
        digest = hash.Digest();
    // The built-in keys that vouch for the text. A key that cannot be read has no id, so no
    // signature names it.
    std::vector<std::string> signers;
    if (!digest.empty()) {
        for (const std::string& pem : m_listKeys) {
            const RsaPublicKey key(pem);
            for (const ListSignature& signature : signatures)
                if (signature.keyId == key.Id() && key.VerifyDigest(digest, signature.signature)) {
                    signers.push_back(key.Id());
                    break;
                }
        }
    }
    ListClaims claims;
    const bool claimed = !signers.empty() && ReadListClaims(signedText, &claims);
    const std::string channel = ListChannelOfUrl(m_listUrl.Str());
    const ListJudgement judgement = JudgeList(signers, claimed ? &claims : nullptr, ReadListMemory(channel),
                                              m_identityName, channel, UtcNowDigits());
    switch (judgement.verdict) {
    case ListVerdict::Accepted:
        WriteListMemory(channel, judgement.memory);
        m_listSigned = claims.signedAt;
        m_listExpires = claims.expires;
        m_reportUrl = ReportUrlFor(claims.report);
        return TRUE;
    case ListVerdict::Unsigned:
        RecordError(RunError::ListUnsigned);
        break;
    case ListVerdict::KeyRevoked:
        RecordError(RunError::ListKeyRevoked);
        break;
    case ListVerdict::OtherControl:
        RecordError(RunError::ListForOther);
        break;
    case ListVerdict::Expired:
        RecordError(RunError::ListExpired);
        break;
    case ListVerdict::Older:
        RecordError(RunError::ListOlder);
        break;
    }
    m_listText.Empty();  // nothing of a refused list is used
    return FALSE;
}
