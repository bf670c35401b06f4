// The request shape that the list and every file are fetched with: GET for http, POST
// with an empty body for https, the form Content-Type header, the cache bypassed.
#pragma once

#include <memory>

#include "framework/internet.h"

// Reload from the server and keep nothing in the cache.
constexpr DWORD kNoCache = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

struct HttpTarget {
    CString server;
    CString object;
    INTERNET_PORT port = 0;
    bool secure = false;
};

// FALSE when the URL cannot be parsed or is neither http nor https.
BOOL ParseHttpTarget(const char* url, HttpTarget* target);

struct FormRequest {
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> file;
    DWORD status = 0;  // 0 when the response has none
};

// Connects, sends and reads the status; throws CInternetException.
FormRequest SendFormRequest(CInternetSession& session, const HttpTarget& target);
