// Fetching the update list: a light probe for its announced length, then the list itself.
#include <algorithm>

#include "engine/form_request.h"
#include "framework/internet.h"
#include "ui/progress_dialog.h"

namespace {

// Room reserved up front for the announced length; a hostile announcement gets no more.
constexpr DWORD kMaxReserve = 64u * 1024 * 1024;

const char* const kNoListText = "서버에 업데이트 목록 파일이 없거나 URL 주소가 틀렸습니다.";

}  // namespace

DWORD UpdateProgressDialog::ProbeContentLength(CString url)
{
    CInternetSession session("Updater");
    if (!session.IsOpen())
        return 0;
    try {
        // The same reading, lock and redirect rules as every other request.
        const FormRequest probe = SendRequest(session, url, m_trustedSites, RequestShape::Probe);
        if (!probe.file)
            return 0;
        DWORD length = 0;
        DWORD size = sizeof(length);
        if (!HttpQueryInfoA(probe.file->Handle(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                            nullptr))
            return 0;
        return length;
    } catch (const CInternetException&) {
        return 0;
    }
}

BOOL UpdateProgressDialog::FetchUpdateList()
{
    ClearLastError();
    Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, m_progress);
    CInternetSession session;
    m_listText.Empty();
    if (!session.IsOpen()) {
        char message[1024] = {};
        CInternetException(session.GetOpenError()).GetErrorMessage(message, sizeof(message));
        m_lastErrorCode = 42;
        m_lastErrorText = message;
        return FALSE;
    }

    const DWORD announced = ProbeContentLength(m_listUrl);
    if (announced == 0) {
        m_lastErrorCode = 51;
        m_lastErrorText = kNoListText;
        return FALSE;
    }

    try {
        FormRequest request = SendRequest(session, m_listUrl, m_trustedSites, RequestShape::Form);
        if (request.badUrl) {
            m_lastErrorCode = 43;
            m_lastErrorText = kBadUrlText;
            return FALSE;
        }
        if (request.refused) {
            m_lastErrorCode = 42;
            m_lastErrorText = kRedirectRefusedText;
            return FALSE;
        }
        CHttpFile* file = request.file.get();
        const DWORD status = request.status;
        if (status != HTTP_STATUS_OK) {
            if (status == HTTP_STATUS_SERVER_ERROR) {
                m_lastErrorCode = 41;
                m_lastErrorText = "업데이트 서버에서 오류가 발생했습니다.";
            } else if (status == HTTP_STATUS_NOT_FOUND) {
                m_lastErrorCode = 51;
                m_lastErrorText = kNoListText;
            }
            return FALSE;
        }

        // Read into the list's own storage: a later run reuses what an earlier one grew.
        m_listText.Preallocate(static_cast<int>(std::min(announced, kMaxReserve)));
        char piece[1024];
        while (const UINT length = file->ReadPiece(piece, sizeof(piece) - 1))
            m_listText.Append(piece, static_cast<int>(length));
        file->Close();
        request.connection->Close();
        return TRUE;
    } catch (const CInternetException& failure) {
        m_listText.Empty();  // a list cut off is no list
        char message[1024] = {};
        failure.GetErrorMessage(message, sizeof(message));
        m_lastErrorCode = 42;
        m_lastErrorText = message;
        return FALSE;
    } catch (...) {
        m_listText.Empty();
        return FALSE;
    }
}
