// The internet session classes over WinINet: session, HTTP connection, HTTP file with a
// buffered line reader, the URL parser, and the exception that carries a WinINet error.
// Connections and files are owned by the caller; a session, connection or file closes its
// handle when it goes away.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <vector>

#include "framework/handles.h"
#include "framework/narrow_string.h"

// Services that AfxParseURL tells apart.
constexpr DWORD AFX_INET_SERVICE_UNK = 0;
constexpr DWORD AFX_INET_SERVICE_FTP = 1;
constexpr DWORD AFX_INET_SERVICE_HTTP = 3;
constexpr DWORD AFX_INET_SERVICE_HTTPS = 4;
constexpr DWORD AFX_INET_SERVICE_FILE = 5;

// Splits a URL into service, server, object (path and query, "/" when empty) and port
// (the URL's own, or the scheme's default). FALSE when WinINet cannot take it apart.
BOOL AfxParseURL(const char* url, DWORD& serviceType, CString& server, CString& object,
                 INTERNET_PORT& port);

// What bounds one request: every wait (timeoutMs), the body's average rate over a span of
// twice that (at least floorBytesPerSecond), and the run's deadline (a GetTickCount value)
// after which nothing starts or goes on.
struct NetworkBounds {
    DWORD timeoutMs = 0;
    DWORD floorBytesPerSecond = 0;
    DWORD deadline = 0;
    bool hasDeadline = true;
};

// Whether the bounds' deadline has passed.
bool PastDeadline(const NetworkBounds& bounds);

class CInternetException {
public:
    explicit CInternetException(DWORD error) : m_dwError(error) {}

    // The system's text for the error, cut to maxChars - 1 characters and terminated.
    BOOL GetErrorMessage(char* buffer, UINT maxChars) const;

    DWORD m_dwError;
};

// Throws CInternetException with the thread's last error. A call that failed after it had
// waited its whole timeout (timedOut) throws ERROR_INTERNET_TIMEOUT, whatever the platform
// said: Wine reports a receive timeout as an aborted connection or a socket error.
[[noreturn]] void ThrowLastInternetError(bool timedOut = false);

// What one request shares with WinINet's worker threads: the outcome of its pending call
// and the memory that call may still write to. WinINet holds one reference until it says
// the handle is closing, so an abandoned call never writes to freed memory.
struct RequestState;

class CInternetFile {
public:
    // handle was opened with state's address as its context; the file takes its reference.
    CInternetFile(HINTERNET handle, RequestState* state);
    virtual ~CInternetFile();
    CInternetFile(const CInternetFile&) = delete;
    CInternetFile& operator=(const CInternetFile&) = delete;

    // One piece of a line: at most maxChars - 1 characters, ending after a line feed
    // (kept); carriage returns are dropped. Null when no data is left.
    char* ReadString(char* buffer, UINT maxChars);
    // The same piece without a terminator, so that NUL bytes survive; 0 at the end.
    // A failed read, or a body that ends before its announced length, throws
    // CInternetException.
    UINT ReadPiece(char* buffer, UINT room);
    // Up to count bytes of the body as they come; 0 at the end. A failed read throws
    // CInternetException; an early end does not (the caller knows what to expect).
    UINT Read(void* buffer, UINT count);
    // The same bytes without a copy: *data points into the request's buffer, valid until the
    // next read or the file's end.
    UINT ReadView(const char** data, UINT most);
    void Close() { m_handle.Close(); }
    HINTERNET Handle() const { return m_handle.Get(); }
    // Bounds every wait of this request (connect, send, receive) by the bounds' timeout; set
    // before sending. The platform's own bounds are set, and each call is also given up after
    // the timeout plus a margin (Wine ignores the connect bound). A span of twice the timeout
    // in which the body's rate stays under the floor is a timeout as well, and so is a read
    // once the deadline has passed.
    void SetBounds(const NetworkBounds& bounds);
    // Body bytes taken from the connection so far, carriage returns included.
    unsigned long long BytesReceived() const { return m_received; }

protected:
    // Called when a read finds no more data; may throw CInternetException.
    virtual void OnEndOfData() {}
    // Finishes a call made on the session's asynchronous handles: waits for a pending one
    // up to the deadline, and gives it up (closing the request) when it passes. The result
    // and GetLastError as a synchronous call would give them.
    BOOL Await(BOOL immediate);
    RequestState& State() const { return *m_state; }
    // Whether a call that began at start (GetTickCount) and failed waited out the timeout.
    bool TimedOut(DWORD start) const { return m_timeoutMs != 0 && GetTickCount() - start + 250 >= m_timeoutMs; }

private:
    // One read of at most `most` bytes (and the fixed bound) into the request's buffer,
    // which then holds just those bytes; their count, 0 at the end.
    DWORD ReadIntoState(size_t most);
    // A read for the line reader; false at the end, after OnEndOfData.
    bool FillBuffer();

    InternetHandle m_handle;
    RequestState* m_state;
    size_t m_bufferPos = 0;
    size_t m_bufferEnd = 0;
    unsigned long long m_received = 0;
    // The body's bytes that have arrived (0 at its end). With wait, waits (bounded) until some
    // have; without, false when the query would have to wait, which it then goes on doing.
    bool QueryAvailable(DWORD start, bool wait, DWORD* available);
    bool m_queryPending = false;
    DWORD m_timeoutMs = 0;
    DWORD m_floorBytesPerSecond = 0;
    DWORD m_deadline = 0;
    bool m_hasDeadline = false;
    // The current span of the rate floor: when it began and the bytes it brought.
    DWORD m_spanStart = 0;
    unsigned long long m_spanBytes = 0;
    bool m_spanStarted = false;
};

class CHttpFile : public CInternetFile {
public:
    using CInternetFile::CInternetFile;

    void SendRequest(const char* headers, DWORD headersLength, void* optional,
                     DWORD optionalLength);
    // FALSE (code left as it was) when the response has no status.
    BOOL QueryInfoStatusCode(DWORD& statusCode) const;

protected:
    void OnEndOfData() override;
};

class CHttpConnection {
public:
    explicit CHttpConnection(HINTERNET handle) : m_handle(handle) {}

    std::unique_ptr<CHttpFile> OpenRequest(const char* verb, const char* object,
                                           const char* referer = nullptr,
                                           const char** acceptTypes = nullptr,
                                           const char* version = nullptr,
                                           DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);
    void Close() { m_handle.Close(); }

private:
    InternetHandle m_handle;
};

// Always asynchronous: a synchronous WinINet call cannot be abandoned, and Wine bounds
// no connection attempt. The files wait for their own calls.
class CInternetSession {
public:
    // Without an agent, the module's file name without its extension is sent.
    explicit CInternetSession(const char* agent = nullptr,
                              DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                              const char* proxyName = nullptr, const char* proxyBypass = nullptr);

    BOOL IsOpen() const { return m_handle.IsValid(); }
    // Why the session could not be opened.
    DWORD GetOpenError() const { return m_openError; }
    const CString& GetAgent() const { return m_agent; }

    std::unique_ptr<CHttpConnection> GetHttpConnection(const char* server, INTERNET_PORT port,
                                                       const char* userName = nullptr,
                                                       const char* password = nullptr);
    void Close() { m_handle.Close(); }

private:
    InternetHandle m_handle;
    CString m_agent;
    DWORD m_openError = ERROR_SUCCESS;
};

// The module's file name without folder and extension.
CString ModuleAppName();

// What one read of a body saw: the bytes reported available before it, what it asked for
// with which flags, and what it got. The last few reads of the process are kept, so that a
// test can see that no read waited for more than had arrived.
struct ReadRecord {
    DWORD available;
    DWORD asked;
    DWORD flags;
    DWORD got;
};
constexpr size_t kKeptReads = 256;
void NoteRead(const ReadRecord& record);
// Reads noted since the process began, and the last kKeptReads of them, oldest first.
unsigned long ReadsNoted();
std::vector<ReadRecord> LastReads();

// Requests whose state WinINet has not yet released: while any is, WinINet may still call
// into this module, which must stay loaded.
long LiveRequestStates();
// Of those, the ones whose call was given up at its deadline.
long GivenUpRequestStates();
