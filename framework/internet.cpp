#include "framework/internet.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "framework/line_piece.h"
#include "framework/module.h"

namespace {

// Each read is a round trip through the platform, so a long body is read in large blocks:
// the buffer starts small and grows while reads fill it, up to a fixed bound.
constexpr size_t kFirstReadSize = 64 * 1024;
constexpr size_t kLargestReadSize = 1024 * 1024;

DWORD ServiceOf(INTERNET_SCHEME scheme)
{
    switch (scheme) {
    case INTERNET_SCHEME_HTTP: return AFX_INET_SERVICE_HTTP;
    case INTERNET_SCHEME_HTTPS: return AFX_INET_SERVICE_HTTPS;
    case INTERNET_SCHEME_FTP: return AFX_INET_SERVICE_FTP;
    case INTERNET_SCHEME_FILE: return AFX_INET_SERVICE_FILE;
    default: return AFX_INET_SERVICE_UNK;
    }
}

}  // namespace

BOOL AfxParseURL(const char* url, DWORD& serviceType, CString& server, CString& object,
                 INTERNET_PORT& port)
{
    serviceType = AFX_INET_SERVICE_UNK;
    if (!url || !*url)
        return FALSE;
    // Every part is at most as long as the URL itself.
    const size_t room = std::strlen(url) + 1;
    std::vector<char> host(room), path(room), extra(room);
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(room);
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(room);
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(room);
    if (!InternetCrackUrlA(url, 0, 0, &parts))
        return FALSE;
    serviceType = ServiceOf(parts.nScheme);
    server = host.data();
    object = CString(path.data()) + extra.data();
    if (object.IsEmpty())
        object = "/";
    port = parts.nPort;
    return TRUE;
}

BOOL CInternetException::GetErrorMessage(char* buffer, UINT maxChars) const
{
    if (!buffer || maxChars == 0)
        return FALSE;
    buffer[0] = '\0';
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    // Allocated, so that a caller's small buffer gets the start of the text, not nothing.
    char* text = nullptr;
    const DWORD length = FormatMessageA(flags, GetModuleHandleA("wininet.dll"), m_dwError, 0,
                                        reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 || !text) {
        // No text for this error: name its number, so the record still says what failed.
        CString fallback;
        fallback.Format("Internet error %lu", static_cast<unsigned long>(m_dwError));
        lstrcpynA(buffer, fallback, static_cast<int>(maxChars));
        return FALSE;
    }
    lstrcpynA(buffer, text, static_cast<int>(maxChars));
    LocalFree(text);
    return TRUE;
}

void ThrowLastInternetError(bool timedOut)
{
    // Wine passes a broken connection on as its socket error, where Windows reports
    // WinINet's own code; the record should not depend on which one ran.
    constexpr DWORD kSocketAborted = 10053, kSocketReset = 10054;  // WSAECONNABORTED, WSAECONNRESET
    constexpr DWORD kSocketTimedOut = 10060;                        // WSAETIMEDOUT
    const DWORD error = GetLastError();
    if (timedOut || error == kSocketTimedOut)
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    if (error == kSocketReset)
        throw CInternetException(ERROR_INTERNET_CONNECTION_RESET);
    if (error == kSocketAborted)
        throw CInternetException(ERROR_INTERNET_CONNECTION_ABORTED);
    throw CInternetException(error);
}

bool CInternetFile::FillBuffer()
{
    if (m_buffer.empty())
        m_buffer.resize(kFirstReadSize);
    else if (m_bufferEnd == m_buffer.size() && m_buffer.size() < kLargestReadSize)
        m_buffer.resize(m_buffer.size() * 4);
    DWORD read = 0;
    const DWORD start = GetTickCount();
    if (!InternetReadFile(m_handle.Get(), m_buffer.data(), static_cast<DWORD>(m_buffer.size()),
                          &read))
        ThrowLastInternetError(TimedOut(start));
    m_bufferPos = 0;
    m_bufferEnd = read;
    m_received += read;
    if (read == 0)
        OnEndOfData();
    return read != 0;
}

UINT CInternetFile::ReadPiece(char* buffer, UINT room)
{
    size_t written = 0;
    while (written < room) {
        if (m_bufferPos == m_bufferEnd && !FillBuffer())
            break;
        const LinePieceStep step = CopyLinePiece(
            std::string_view(m_buffer.data() + m_bufferPos, m_bufferEnd - m_bufferPos),
            buffer + written, room - written);
        m_bufferPos += step.consumed;
        written += step.written;
        if (step.lineEnded)
            break;
    }
    return static_cast<UINT>(written);
}

UINT CInternetFile::Read(void* buffer, UINT count)
{
    // Whatever the line reader has buffered comes first.
    if (m_bufferPos < m_bufferEnd) {
        const size_t take = std::min<size_t>(count, m_bufferEnd - m_bufferPos);
        std::memcpy(buffer, m_buffer.data() + m_bufferPos, take);
        m_bufferPos += take;
        return static_cast<UINT>(take);
    }
    DWORD read = 0;
    const DWORD start = GetTickCount();
    if (!InternetReadFile(m_handle.Get(), buffer, count, &read))
        ThrowLastInternetError(TimedOut(start));
    m_received += read;
    return read;
}

char* CInternetFile::ReadString(char* buffer, UINT maxChars)
{
    if (!buffer || maxChars == 0)
        return nullptr;
    const UINT length = ReadPiece(buffer, maxChars - 1);
    buffer[length] = '\0';
    return length == 0 ? nullptr : buffer;
}

void CHttpFile::SendRequest(const char* headers, DWORD headersLength, void* optional,
                            DWORD optionalLength)
{
    const DWORD start = GetTickCount();
    if (!HttpSendRequestA(Handle(), headers, headersLength, optional, optionalLength))
        ThrowLastInternetError(TimedOut(start));
}

void CInternetFile::SetTimeouts(DWORD ms)
{
    m_timeoutMs = ms;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionA(m_handle.Get(), option, &ms, sizeof(ms));
}

void CHttpFile::OnEndOfData()
{
    // A connection that closes before the announced length is a failed read, not the
    // end of the body.
    DWORD announced = 0;
    DWORD size = sizeof(announced);
    if (HttpQueryInfoA(Handle(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                       &size, nullptr) &&
        BytesReceived() < announced)
        throw CInternetException(ERROR_INTERNET_CONNECTION_RESET);
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& statusCode) const
{
    DWORD code = 0;
    DWORD size = sizeof(code);
    if (!HttpQueryInfoA(Handle(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                        nullptr))
        return FALSE;
    statusCode = code;
    return TRUE;
}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(const char* verb, const char* object,
                                                        const char* referer, DWORD_PTR context,
                                                        const char** acceptTypes,
                                                        const char* version, DWORD flags)
{
    HINTERNET request = HttpOpenRequestA(m_handle.Get(), verb, object, version, referer,
                                         acceptTypes, flags, context);
    if (!request)
        ThrowLastInternetError();
    return std::make_unique<CHttpFile>(request);
}

CInternetSession::CInternetSession(const char* agent, DWORD_PTR context, DWORD accessType,
                                   const char* proxyName, const char* proxyBypass, DWORD flags)
    : m_agent(agent ? CString(agent) : ModuleAppName()), m_context(context)
{
    m_handle.Reset(InternetOpenA(m_agent, accessType, proxyName, proxyBypass, flags));
    if (!m_handle)
        m_openError = GetLastError();
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const char* server,
                                                                     INTERNET_PORT port,
                                                                     const char* userName,
                                                                     const char* password)
{
    if (!m_handle)
        throw CInternetException(m_openError);
    HINTERNET connection = InternetConnectA(m_handle.Get(), server, port, userName, password,
                                            INTERNET_SERVICE_HTTP, 0, m_context);
    if (!connection)
        ThrowLastInternetError();
    return std::make_unique<CHttpConnection>(connection);
}

CString ModuleAppName()
{
    CString name(ThisModulePath().c_str());
    name = name.Mid(name.ReverseFind('\\') + 1);
    const int dot = name.ReverseFind('.');
    return dot < 0 ? name : name.Left(dot);
}
