#include "framework/internet.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <string>

#include "framework/line_piece.h"
#include "framework/module.h"

namespace {

// Each read is a round trip through the platform, so a long body is read in large blocks,
// up to a fixed bound.
constexpr size_t kLargestReadSize = 1024 * 1024;
// A call is given up half its bound (at most 2 s) after the platform's own bound would
// have ended it, so a bound the platform does keep reports itself first.
constexpr DWORD kLargestDeadlineMarginMs = 2000;
// For a request whose caller set no bound.
constexpr DWORD kDefaultDeadlineMs = 60000;

std::atomic<long> g_liveStates{0};
std::atomic<unsigned long> g_reads{0};
ReadRecord g_lastReads[kKeptReads];
std::atomic<long> g_givenUpStates{0};

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

struct RequestState {
    RequestState() : done(CreateEventA(nullptr, TRUE, FALSE, nullptr)) { ++g_liveStates; }
    ~RequestState()
    {
        --g_liveStates;
        if (givenUp)
            --g_givenUpStates;
    }

    // One reference is the file's, one WinINet's until it reports the handle closing.
    std::atomic<long> refs{2};
    KernelHandle done;
    BOOL result = FALSE;
    DWORD error = ERROR_SUCCESS;
    // Everything a pending call may still read or write.
    std::vector<char> buffer;
    DWORD available = 0;
    INTERNET_BUFFERSA into = {};
    std::string headers;
    char body[1] = {};
    // A call given up at its deadline: WinINet may hold the state until the system ends
    // the attempt (Wine: when Linux gives up on the connection, about two minutes).
    bool givenUp = false;
};

namespace {

void Release(RequestState* state)
{
    if (--state->refs == 0)
        delete state;
}

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD)
{
    auto* state = reinterpret_cast<RequestState*>(context);
    if (!state)
        return;
    if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
        const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(info);
        state->result = outcome->dwResult != 0;
        state->error = outcome->dwError;
        SetEvent(state->done.Get());
    } else if (status == INTERNET_STATUS_HANDLE_CLOSING) {
        Release(state);
    }
}

}  // namespace

void NoteRead(const ReadRecord& record)
{
    g_lastReads[g_reads++ % kKeptReads] = record;
}

unsigned long ReadsNoted()
{
    return g_reads;
}

std::vector<ReadRecord> LastReads()
{
    const unsigned long count = g_reads;
    std::vector<ReadRecord> reads;
    for (unsigned long i = count > kKeptReads ? count - kKeptReads : 0; i < count; ++i)
        reads.push_back(g_lastReads[i % kKeptReads]);
    return reads;
}

long LiveRequestStates()
{
    return g_liveStates;
}

long GivenUpRequestStates()
{
    return g_givenUpStates;
}

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

CInternetFile::CInternetFile(HINTERNET handle, RequestState* state) : m_handle(handle), m_state(state) {}

CInternetFile::~CInternetFile()
{
    m_handle.Close();
    Release(m_state);
}

BOOL CInternetFile::Await(BOOL immediate)
{
    if (immediate)
        return TRUE;
    if (GetLastError() != ERROR_IO_PENDING)
        return FALSE;
    const DWORD deadline =
        m_timeoutMs ? m_timeoutMs + std::min(m_timeoutMs / 2, kLargestDeadlineMarginMs) : kDefaultDeadlineMs;
    if (WaitForSingleObject(m_state->done.Get(), deadline) == WAIT_OBJECT_0) {
        SetLastError(m_state->error);
        return m_state->result;
    }
    // Closing the request ends the pending call; what it may still touch lives in the
    // state, which WinINet lets go of last.
    if (!m_state->givenUp) {
        m_state->givenUp = true;
        ++g_givenUpStates;
    }
    m_handle.Close();
    SetLastError(ERROR_INTERNET_TIMEOUT);
    return FALSE;
}

bool CInternetFile::QueryAvailable(DWORD start, bool wait, DWORD* available)
{
    // A query that had to wait completes without its count: asked again, it answers at once.
    for (int asked = 0; asked < 8; ++asked) {
        if (!m_queryPending) {
            ResetEvent(m_state->done.Get());
            m_state->available = 0;
            if (InternetQueryDataAvailable(m_handle.Get(), &m_state->available, 0, 0)) {
                *available = m_state->available;
                return true;
            }
            if (GetLastError() != ERROR_IO_PENDING)
                ThrowLastInternetError(false);
            m_queryPending = true;
        }
        if (!wait)
            return false;
        SetLastError(ERROR_IO_PENDING);
        const BOOL answered = Await(FALSE);
        m_queryPending = false;
        if (!answered)
            ThrowLastInternetError(TimedOut(start));
    }
    // Never taken for the body's end: a body without a length would pass for whole.
    throw CInternetException(ERROR_INTERNET_INTERNAL_ERROR);
}

DWORD CInternetFile::ReadIntoState(size_t most)
{
    // Reads land in the request's own buffer: an abandoned read may still write there.
    std::vector<char>& own = m_state->buffer;
    const size_t ask = std::min(most, kLargestReadSize);
    if (own.size() < ask)
        own.resize(ask);
    const DWORD start = GetTickCount();
    if (m_hasDeadline && static_cast<LONG>(start - m_deadline) >= 0)
        throw CInternetException(ERROR_INTERNET_TIMEOUT);
    if (!m_spanStarted) {
        m_spanStart = start;
        m_spanStarted = true;
    }
    // A read takes only what has arrived: a read of more waits for all of it (on Windows
    // always, under Wine up to the body's end), and a slow line would then run into the bound
    // in one read however steadily it delivers. So each read follows a query and asks for no
    // more than it reported (and says not to wait: the flag shares its bit with another in
    // the headers, so the size is what holds); reads go on while queries answer at once, and
    // the bytes taken are handed over as soon as one would have to wait (its answer is
    // awaited next time).
    DWORD taken = 0;
    while (taken < ask) {
        DWORD available = 0;
        if (!QueryAvailable(start, taken == 0, &available) || available == 0)
            break;
        ResetEvent(m_state->done.Get());
        INTERNET_BUFFERSA& into = m_state->into;
        into = INTERNET_BUFFERSA{};
        into.dwStructSize = sizeof(into);
        into.lpvBuffer = own.data() + taken;
        const DWORD asked = static_cast<DWORD>(std::min<size_t>(ask - taken, available));
        into.dwBufferLength = asked;
        if (!Await(InternetReadFileExA(m_handle.Get(), &into, IRF_NO_WAIT, reinterpret_cast<DWORD_PTR>(m_state))))
            ThrowLastInternetError(TimedOut(start));
        NoteRead(ReadRecord{available, asked, IRF_NO_WAIT, into.dwBufferLength});
        if (into.dwBufferLength == 0)
            break;
        taken += into.dwBufferLength;
    }
    // Each read may come within the timeout while the body as a whole crawls: a span of
    // twice the timeout whose rate stayed under the floor ends the request as a timeout would.
    m_spanBytes += taken;
    const DWORD now = GetTickCount();
    const DWORD span = 2 * m_timeoutMs;
    if (m_timeoutMs && now - m_spanStart >= span) {
        if (taken != 0 && m_spanBytes * 1000 < static_cast<unsigned long long>(m_floorBytesPerSecond) * span)
            throw CInternetException(ERROR_INTERNET_TIMEOUT);
        m_spanStart = now;
        m_spanBytes = 0;
    }
    m_bufferPos = 0;
    m_bufferEnd = taken;
    m_received += taken;
    return taken;
}

bool CInternetFile::FillBuffer()
{
    const DWORD read = ReadIntoState(kLargestReadSize);
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
            std::string_view(m_state->buffer.data() + m_bufferPos, m_bufferEnd - m_bufferPos),
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
    const char* data = nullptr;
    const UINT take = ReadView(&data, count);
    if (take)
        std::memcpy(buffer, data, take);
    return take;
}

UINT CInternetFile::ReadView(const char** data, UINT most)
{
    // Handed out from the request's buffer; whatever the line reader buffered comes first.
    // An early end is the caller's to judge, not the end-of-data check's.
    if (m_bufferPos == m_bufferEnd)
        ReadIntoState(most);
    const size_t take = std::min<size_t>(most, m_bufferEnd - m_bufferPos);
    *data = m_state->buffer.data() + m_bufferPos;
    m_bufferPos += take;
    return static_cast<UINT>(take);
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
    // A pending send may still read them: the request's state keeps copies.
    RequestState& state = State();
    state.headers.assign(headers ? headers : "", headers ? headersLength : 0);
    const bool withBody = optional != nullptr;
    if (withBody && optionalLength > sizeof(state.body))
        throw CInternetException(ERROR_INVALID_PARAMETER);
    if (withBody)
        std::memcpy(state.body, optional, optionalLength);
    const DWORD start = GetTickCount();
    ResetEvent(state.done.Get());
    if (!Await(HttpSendRequestA(Handle(), headers ? state.headers.c_str() : nullptr,
                                static_cast<DWORD>(state.headers.size()), withBody ? state.body : nullptr,
                                optionalLength)))
        ThrowLastInternetError(TimedOut(start));
}

bool PastDeadline(const NetworkBounds& bounds)
{
    return bounds.hasDeadline && static_cast<LONG>(GetTickCount() - bounds.deadline) >= 0;
}

void CInternetFile::SetBounds(const NetworkBounds& bounds)
{
    DWORD ms = bounds.timeoutMs;
    m_timeoutMs = ms;
    m_floorBytesPerSecond = bounds.floorBytesPerSecond;
    m_deadline = bounds.deadline;
    m_hasDeadline = bounds.hasDeadline;
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
                                                        const char* referer, const char** acceptTypes,
                                                        const char* version, DWORD flags)
{
    auto* state = new RequestState;
    HINTERNET request = HttpOpenRequestA(m_handle.Get(), verb, object, version, referer, acceptTypes, flags,
                                         reinterpret_cast<DWORD_PTR>(state));
    if (!request) {
        // WinINet may or may not have reported a closing: its reference is left to it.
        const DWORD error = GetLastError();
        Release(state);
        SetLastError(error);
        ThrowLastInternetError();
    }
    return std::make_unique<CHttpFile>(request, state);
}

CInternetSession::CInternetSession(const char* agent, DWORD accessType, const char* proxyName,
                                   const char* proxyBypass)
    : m_agent(agent ? CString(agent) : ModuleAppName())
{
    m_handle.Reset(InternetOpenA(m_agent, accessType, proxyName, proxyBypass, INTERNET_FLAG_ASYNC));
    if (!m_handle) {
        m_openError = GetLastError();
        return;
    }
    // Inherited by every connection and request made from here on.
    if (InternetSetStatusCallbackA(m_handle.Get(), OnRequestStatus) == INTERNET_INVALID_STATUS_CALLBACK) {
        m_openError = GetLastError();
        m_handle.Close();
    }
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const char* server,
                                                                     INTERNET_PORT port,
                                                                     const char* userName,
                                                                     const char* password)
{
    if (!m_handle)
        throw CInternetException(m_openError);
    // No context: only requests report their progress.
    HINTERNET connection = InternetConnectA(m_handle.Get(), server, port, userName, password,
                                            INTERNET_SERVICE_HTTP, 0, 0);
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
