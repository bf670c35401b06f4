#include "engine/form_request.h"

namespace {

constexpr char kFormHeader[] = "Content-Type: application/x-www-form-urlencoded\r\n";

}  // namespace

BOOL ParseHttpTarget(const char* url, HttpTarget* target)
{
    DWORD service = AFX_INET_SERVICE_UNK;
    if (!AfxParseURL(url, service, target->server, target->object, target->port))
        return FALSE;
    target->secure = service == AFX_INET_SERVICE_HTTPS;
    return service == AFX_INET_SERVICE_HTTP || service == AFX_INET_SERVICE_HTTPS;
}

FormRequest SendFormRequest(CInternetSession& session, const HttpTarget& target)
{
    FormRequest request;
    request.connection = session.GetHttpConnection(target.server, target.port);
    request.file = request.connection->OpenRequest(
        target.secure ? "POST" : "GET", target.object, nullptr, 1, nullptr, nullptr,
        target.secure ? kNoCache | INTERNET_FLAG_SECURE : kNoCache);
    // An empty body, passed as a zeroed buffer of length 0.
    char body[1024] = {};
    request.file->SendRequest(kFormHeader, sizeof(kFormHeader) - 1, body, 0);
    request.file->QueryInfoStatusCode(request.status);
    return request;
}
