#include "engine/form_request.h"

#include "trust/site_lock.h"
#include "engine/retry_policy.h"

namespace {

constexpr char kFormHeader[] = "Content-Type: application/x-www-form-urlencoded\r\n";

bool IsRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The redirect's target as an absolute URL; empty when there is none.
CString RedirectTarget(CHttpFile& file, const CString& from)
{
    DWORD size = 0;
    HttpQueryInfoA(file.Handle(), HTTP_QUERY_LOCATION, nullptr, &size, nullptr);
    if (size == 0)
        return CString();
    std::vector<char> location(size + 1);
    if (!HttpQueryInfoA(file.Handle(), HTTP_QUERY_LOCATION, location.data(), &size, nullptr))
        return CString();
    // Windows may give the header as sent (possibly relative); Wine gives it absolute.
    return CString(CombineUrl(from, location.data()).c_str());
}

void Send(CInternetSession& session, const HttpTarget& target, RequestShape shape, const NetworkBounds& bounds,
          const std::string& extraHeaders, FormRequest* request)
{
    // A run past its network ceiling starts no request.
    if (PastDeadline(bounds))
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    const bool form = shape == RequestShape::Form;
    DWORD flags = kNoCache | INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (target.secure)
        flags |= INTERNET_FLAG_SECURE;
    request->connection = session.GetHttpConnection(target.server, target.port);
    request->file = request->connection->OpenRequest(form && target.secure ? "POST" : "GET", target.object,
                                                     nullptr, nullptr, nullptr, flags);
    request->file->SetBounds(bounds);
    // An empty body, passed as a zeroed buffer of length 0.
    char body[1] = {};
    const std::string headers = (form ? std::string(kFormHeader) : std::string()) + extraHeaders;
    if (form)
        request->file->SendRequest(headers.c_str(), static_cast<DWORD>(headers.size()), body, 0);
    else
        request->file->SendRequest(headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
                                   nullptr, 0);
    request->status = 0;
    request->file->QueryInfoStatusCode(request->status);
}

}  // namespace

std::string CombineUrl(const char* base, const char* relative)
{
    DWORD size = 0;
    InternetCombineUrlA(base, relative, nullptr, &size, ICU_NO_ENCODE);
    if (size == 0)
        return std::string();
    std::vector<char> absolute(size + 1);
    if (!InternetCombineUrlA(base, relative, absolute.data(), &size, ICU_NO_ENCODE))
        return std::string();
    return absolute.data();
}

BOOL ParseHttpTarget(const char* url, HttpTarget* target)
{
    DWORD service = AFX_INET_SERVICE_UNK;
    if (!AfxParseURL(url, service, target->server, target->object, target->port))
        return FALSE;
    target->secure = service == AFX_INET_SERVICE_HTTPS;
    return service == AFX_INET_SERVICE_HTTP || service == AFX_INET_SERVICE_HTTPS;
}

BOOL ReadHttpTarget(const char* url, const SiteList& sites, HttpTarget* target)
{
    if (sites.empty())
        return ParseHttpTarget(url, target);
    LockedUrl read;
    if (!url || !ReadLockedUrl(url, &read) || !HostIsTrusted(read, sites))
        return FALSE;
    target->server = read.host.c_str();
    target->object = read.object.c_str();
    target->port = static_cast<INTERNET_PORT>(read.port);
    target->secure = read.scheme == "https";
    return TRUE;
}

FormRequest SendRequest(CInternetSession& session, const CString& url, const SiteList& sites, RequestShape shape,
                        const NetworkBounds& bounds, const std::string& extraHeaders)
{
    FormRequest request;
    HttpTarget target;
    if (!ReadHttpTarget(url, sites, &target)) {
        request.badUrl = true;
        return request;
    }
    CString current = url;
    for (int hop = 0;; ++hop) {
        Send(session, target, shape, bounds, extraHeaders, &request);
        if (!IsRedirect(request.status))
            return request;
        const CString next = RedirectTarget(*request.file, current);
        // Judged before anything is sent to it; an unreadable target is not followed either.
        if (hop == kMaxRedirects || next.IsEmpty() || IsDowngrade(current.Str(), next.Str()) ||
            !ReadHttpTarget(next, sites, &target)) {
            request.refused = true;
            request.file.reset();
            request.connection.reset();
            return request;
        }
        request.file.reset();
        request.connection.reset();
        current = next;
    }
}
