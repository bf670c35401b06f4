#include "tests/support/test_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// Wine's own exports for crossing between Windows and Unix paths.
using UnixNameFn = char*(CDECL*)(const WCHAR*);
using DosNameFn = WCHAR*(CDECL*)(const char*);

}  // namespace

std::string UnixPathOf(const std::string& windowsPath)
{
    auto toUnix = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return std::string();
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* unix = toUnix(wide.c_str());
    if (!unix)
        return std::string();
    std::string result(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

namespace {

std::string DosPath(const std::string& unixPath)
{
    auto toDos = reinterpret_cast<DosNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDos)
        return std::string();
    WCHAR* dos = toDos(unixPath.c_str());
    if (!dos)
        return std::string();
    std::string result;
    for (const WCHAR* p = dos; *p; ++p)
        result += static_cast<char>(*p);
    HeapFree(GetProcessHeap(), 0, dos);
    return result;
}


void StartWinsock()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

std::string Quoted(const std::string& argument) { return "\"" + argument + "\""; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string TrimBlanks(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

const RecordedRequest::HeaderLine* RecordedRequest::FindHeader(const std::string& name) const
{
    for (const HeaderLine& header : headers) {
        size_t colon = header.text.find(':');
        if (colon != std::string::npos && SameNameIgnoringCase(header.text.substr(0, colon), name))
            return &header;
    }
    return nullptr;
}

std::string RecordedRequest::HeaderValue(const std::string& name) const
{
    const HeaderLine* header = FindHeader(name);
    if (!header)
        return std::string();
    return TrimBlanks(header->text.substr(header->text.find(':') + 1));
}

TestServer::~TestServer() { Stop(); }

bool TestServer::Start()
{
    Stop();
    static LONG serial = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char name[64];
    std::snprintf(name, sizeof name, "vexa-server-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&serial));
    m_folder = std::string(temp) + name;
    m_root = m_folder + "\\root";
    m_log = m_folder + "\\requests.log";
    RemoveFolderTree(m_folder);
    if (!CreateDirectoryA(m_folder.c_str(), nullptr) || !CreateDirectoryA(m_root.c_str(), nullptr)) {
        m_error = "cannot create " + m_root;
        return false;
    }

    const std::string ready = m_folder + "\\ready";
    const std::string commandLine = Quoted(VEXA_PYTHON) + " " + Quoted(VEXA_TEST_SERVER_SCRIPT) +
        " --root " + Quoted(UnixPathOf(m_root)) + " --log " + Quoted(UnixPathOf(m_log)) +
        " --ready " + Quoted(UnixPathOf(ready)) + " --ca-dir " + Quoted(VEXA_TEST_CA_DIR) +
        " --output " + Quoted(UnixPathOf(m_folder + "\\server.out")) + " --max-seconds 900";

    // Its own stdin pipe, so that it never reads the test runner's; the server also exits
    // when this process ends, as it watches its parent.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE stdinRead = nullptr;
    HANDLE stdinWrite = nullptr;
    if (!CreatePipe(&stdinRead, &stdinWrite, &inherit, 0)) {
        m_error = "CreatePipe failed";
        return false;
    }
    SetHandleInformation(stdinWrite, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = stdinRead;
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::string mutableLine = commandLine;
    const std::string program = DosPath(VEXA_PYTHON);
    const BOOL started = CreateProcessA(program.c_str(), &mutableLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(stdinRead);
    if (!started) {
        m_error = "cannot start " + program + " (error " + std::to_string(GetLastError()) + ")";
        CloseHandle(stdinWrite);
        return false;
    }
    m_stdinWrite = stdinWrite;
    m_process = process.hProcess;
    if (process.hThread)
        CloseHandle(process.hThread);

    std::string readyText;
    for (int i = 0; i < 300 && !ReadWholeFile(ready, &readyText); ++i)
        Sleep(50);
    int pid = 0;
    if (std::sscanf(readyText.c_str(), "http=%d https=%d pid=%d", &m_httpPort, &m_httpsPort, &pid) != 3 ||
        m_httpPort <= 0 || m_httpsPort <= 0) {
        std::string output;
        ReadWholeFile(m_folder + "\\server.out", &output);
        m_error = "the server did not report its ports: " + output;
        Stop();
        return false;
    }
    return TrustTestAuthority(&m_error);
}

void TestServer::Stop()
{
    if (m_stdinWrite) {
        CloseHandle(m_stdinWrite);
        m_stdinWrite = nullptr;
    }
    if (m_process) {
        CloseHandle(m_process);
        m_process = nullptr;
    }
    if (m_httpPort > 0) {
        StartWinsock();
        SOCKET stop = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(m_httpPort));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(stop, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const char request[] = "GET /_stop HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
            send(stop, request, sizeof request - 1, 0);
            char answer[256];
            while (recv(stop, answer, sizeof answer, 0) > 0) {
            }
        }
        closesocket(stop);
        // Wait until it stopped listening, so that its files can go.
        for (int i = 0; i < 100; ++i) {
            SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            const bool listening = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            closesocket(probe);
            if (!listening)
                break;
            Sleep(20);
        }
    }
    m_httpPort = m_httpsPort = 0;
    if (!m_folder.empty())
        RemoveFolderTree(m_folder);
    m_folder.clear();
}

bool TestServer::PutFile(const std::string& name, const std::string& bytes)
{
    std::string path = m_root;
    for (size_t start = 0;;) {
        size_t slash = name.find('/', start);
        if (slash == std::string::npos) {
            path += "\\" + name.substr(start);
            break;
        }
        path += "\\" + name.substr(start, slash - start);
        CreateDirectoryA(path.c_str(), nullptr);
        start = slash + 1;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = bytes.empty() ||
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string TestServer::HttpUrl(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_httpPort) + path;
}

std::string TestServer::HttpsUrl(const std::string& path) const
{
    return "https://127.0.0.1:" + std::to_string(m_httpsPort) + path;
}

std::vector<RecordedRequest> TestServer::Requests() const
{
    std::vector<RecordedRequest> requests;
    std::string log;
    if (!ReadWholeFile(m_log, &log))
        return requests;
    RecordedRequest current;
    for (size_t start = 0; start < log.size();) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos)
            break;  // a record still being written
        const std::string line = log.substr(start, end - start);
        start = end + 1;
        const std::string rest = line.size() > 2 ? line.substr(2) : std::string();
        if (line.compare(0, 8, "REQUEST ") == 0) {
            current = RecordedRequest();
            char scheme[16] = {}, method[32] = {};
            std::sscanf(line.c_str(), "REQUEST %15s %31s", scheme, method);
            current.scheme = scheme;
            current.method = method;
            size_t targetStart = line.find(' ', 8 + current.scheme.size() + 1) + 1;
            current.target = line.substr(targetStart, line.rfind(' ') - targetStart);
        } else if (line.compare(0, 2, "C ") == 0) {
            std::sscanf(rest.c_str(), "%d %d", &current.connection, &current.indexOnConnection);
        } else if (line.compare(0, 2, "L ") == 0) {
            current.requestLine = rest;
        } else if (line.compare(0, 2, "H ") == 0) {
            size_t space = rest.find(' ');
            current.headers.push_back({std::strtoul(rest.c_str(), nullptr, 10),
                                       space == std::string::npos ? std::string() : rest.substr(space + 1)});
        } else if (line.compare(0, 2, "B ") == 0) {
            for (size_t i = 0; i + 1 < rest.size(); i += 2)
                current.body += static_cast<char>(HexValue(rest[i]) * 16 + HexValue(rest[i + 1]));
        } else if (line.compare(0, 2, "S ") == 0) {
            current.status = std::atoi(rest.c_str());
        } else if (line == "END") {
            requests.push_back(current);
        }
    }
    return requests;
}

bool TrustTestAuthority(std::string* error)
{
    static std::mutex lock;
    static bool trusted = false;
    std::lock_guard<std::mutex> guard(lock);
    if (trusted)
        return true;
    std::string der;
    if (!ReadWholeFile(DosPath(std::string(VEXA_TEST_CA_DIR) + "/ca.der"), &der) || der.empty()) {
        *error = "the test authority's certificate is missing";
        return false;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
    if (!store) {
        *error = "cannot open the machine root store (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const BOOL added = CertAddEncodedCertificateToStore(
        store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()),
        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD addError = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        *error = "cannot add the test authority (error " + std::to_string(addError) + ")";
        return false;
    }
    trusted = true;
    return true;
}

// A socket bound to a free port of 127.0.0.1; INVALID_SOCKET when none could be had.
static SOCKET BoundLoopbackSocket(sockaddr_in* address)
{
    StartWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    *address = {};
    address->sin_family = AF_INET;
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof *address;
    if (bind(s, reinterpret_cast<sockaddr*>(address), sizeof *address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(address), &length) == 0)
        return s;
    closesocket(s);
    return INVALID_SOCKET;
}

int UnusedLocalPort()
{
    // The socket stays bound and never listens, for the process's life: no other program
    // can take the port, and a connection to it is refused.
    sockaddr_in address;
    return BoundLoopbackSocket(&address) == INVALID_SOCKET ? 0 : ntohs(address.sin_port);
}

int UnansweredLocalPort()
{
    sockaddr_in address;
    SOCKET listener = BoundLoopbackSocket(&address);
    if (listener == INVALID_SOCKET)
        return 0;
    if (listen(listener, 0) != 0) {
        closesocket(listener);
        return 0;
    }
    // Connections that are never accepted fill the queue; once it is full the system drops
    // further attempts without an answer. Every socket stays open for the process's life.
    for (int i = 0; i < 16; ++i) {
        SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        ioctlsocket(filler, FIONBIO, &nonBlocking);
        connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(filler, &writable);
        timeval wait = {0, 300000};
        if (select(0, nullptr, &writable, nullptr, &wait) == 0)
            return ntohs(address.sin_port);  // this attempt got no answer: the queue is full
    }
    return 0;
}

ConnectionTrap::ConnectionTrap(int port)
{
    sockaddr_in v4 = {};
    v4.sin_family = AF_INET;
    v4.sin_port = htons(static_cast<u_short>(port));
    v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_in6 v6 = {};
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(static_cast<u_short>(port));
    v6.sin6_addr.s6_addr[15] = 1;
    const std::pair<const sockaddr*, int> addresses[2] = {{reinterpret_cast<const sockaddr*>(&v4), sizeof v4},
                                                           {reinterpret_cast<const sockaddr*>(&v6), sizeof v6}};
    for (int i = 0; i < 2; ++i) {
        const SOCKET listener = socket(addresses[i].first->sa_family, SOCK_STREAM, IPPROTO_TCP);
        if (listener == INVALID_SOCKET)
            continue;
        if (bind(listener, addresses[i].first, addresses[i].second) != 0 || listen(listener, 8) != 0) {
            closesocket(listener);
            continue;
        }
        m_listeners[i] = listener;
    }
    // IPv4 at least: the system may have no IPv6 loopback.
    if (m_listeners[0] != INVALID_SOCKET)
        m_port = port;
}

ConnectionTrap::~ConnectionTrap()
{
    for (const uintptr_t listener : m_listeners)
        if (listener != INVALID_SOCKET)
            closesocket(listener);
}

bool ConnectionTrap::Connected() const
{
    fd_set ready;
    FD_ZERO(&ready);
    for (const uintptr_t listener : m_listeners)
        if (listener != INVALID_SOCKET)
            FD_SET(listener, &ready);
    timeval none = {0, 0};
    return select(0, &ready, nullptr, nullptr, &none) > 0;
}

std::string RedirectPath(const std::string& code, const std::string& target)
{
    // Every byte but letters and digits escaped, so the target stays one path segment.
    std::string escaped;
    for (const char c : target) {
        char hex[4];
        snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
        escaped += isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : std::string(hex);
    }
    return "/redirect/" + code + "/" + escaped;
}

std::string WininetText(unsigned long code)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       LoadLibraryA("wininet.dll"), code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    const std::string result = length && text ? std::string(text, length) : "Internet error " + std::to_string(code);
    LocalFree(text);
    return result;
}

void RemoveFolderTree(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolderTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

bool ReadWholeFile(const std::string& path, std::string* bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes->append(buffer, got);
    CloseHandle(file);
    return true;
}
