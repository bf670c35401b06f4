// The local HTTP/HTTPS test server (tests/support/http_test_server.py) seen from a test
// program under Wine: started on free ports of 127.0.0.1 with a fresh document root and
// request log, stopped when the object goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RecordedRequest {
    struct HeaderLine {
        size_t rawLength;  // as received, line end included
        std::string text;  // without the line end
    };

    std::string scheme;  // "http" or "https"
    std::string method;
    std::string target;
    int connection = 0;  // numbered by the server in order of acceptance
    int indexOnConnection = 0;
    std::string requestLine;
    std::vector<HeaderLine> headers;
    std::string body;
    int status = 0;

    // The first header of that name (any letter case), or null.
    const HeaderLine* FindHeader(const std::string& name) const;
    // Its value with the blanks around it removed, or empty.
    std::string HeaderValue(const std::string& name) const;
};

class TestServer {
public:
    TestServer() = default;
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // Starts both listeners; false (with the reason in Error()) when it cannot.
    bool Start();
    void Stop();
    const std::string& Error() const { return m_error; }

    // Writes a file under the document root ('/' separates folders).
    bool PutFile(const std::string& name, const std::string& bytes);
    const std::string& RootFolder() const { return m_root; }

    std::string HttpUrl(const std::string& path) const;   // path starts with '/'
    std::string HttpsUrl(const std::string& path) const;
    int HttpPort() const { return m_httpPort; }

    // Every request received so far, in order.
    std::vector<RecordedRequest> Requests() const;

private:
    std::string m_folder;  // scratch folder holding root, log and ready file
    std::string m_root;
    std::string m_log;
    std::string m_error;
    int m_httpPort = 0;
    int m_httpsPort = 0;
    void* m_process = nullptr;
    void* m_stdinWrite = nullptr;
};

// Adds the test authority to the prefix's machine root store, once per process, so that
// WinINet accepts the server's certificate. The machine's own trust store is never used.
bool TrustTestAuthority(std::string* error);

// A port on 127.0.0.1 that nothing listens on; it stays reserved (bound, never listening)
// for the rest of the process, so a connection to it is always refused.
int UnusedLocalPort();
// A port on 127.0.0.1 whose listener never answers a connection attempt (its queue is
// full); 0 when the system would not make one.
int UnansweredLocalPort();

// Listeners on a fixed loopback port (IPv4 and IPv6) that never accept: the connections made
// to it while it lives wait in their queues and are counted. Port 0 when it could not listen.
class ConnectionTrap {
public:
    explicit ConnectionTrap(int port);
    ~ConnectionTrap();
    ConnectionTrap(const ConnectionTrap&) = delete;
    ConnectionTrap& operator=(const ConnectionTrap&) = delete;
    int Port() const { return m_port; }
    // Whether any connection waits on either listener.
    bool Connected() const;

private:
    int m_port = 0;
    uintptr_t m_listeners[2] = {~uintptr_t(0), ~uintptr_t(0)};
};

// The Unix path of a Windows path, through Wine; empty when there is none.
std::string UnixPathOf(const std::string& windowsPath);

// The whole content of a file, read with every kind of sharing allowed.
bool ReadWholeFile(const std::string& path, std::string* bytes);

// The test server's path that answers with status code (a redirect) and Location: target.
std::string RedirectPath(const std::string& code, const std::string& target);

// The system's text for a WinINet error, read without the code under test; where the
// system has none (Wine has none for 12031), "Internet error N" as the README documents.
std::string WininetText(unsigned long code);

// Removes a folder and everything below it.
void RemoveFolderTree(const std::string& folder);
