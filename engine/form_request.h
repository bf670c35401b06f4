// The request shape that the list and every file are fetched with: GET for http, POST
// with an empty body for https, the form Content-Type header, the cache bypassed. Every
// request of a run, the probes too, is read, judged and sent here, and its redirects are
// followed here, one hop at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/internet.h"

// Reload from the server and keep nothing in the cache.
constexpr DWORD kNoCache = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// Redirects followed for one request; the next one ends it.
constexpr int kMaxRedirects = 5;

// The sites a locked build accepts; empty: not locked.
using SiteList = std::vector<std::string>;

struct HttpTarget {
    CString server;
    CString object;
    INTERNET_PORT port = 0;
    bool secure = false;
};

// FALSE when the URL cannot be parsed or is neither http nor https (the platform's reading).
BOOL ParseHttpTarget(const char* url, HttpTarget* target);
// relative read against base as a browser reads it, absolute; empty when it cannot be.
std::string CombineUrl(const char* base, const char* relative);

// The reading a request is built from: with sites, the lock's strict reading, and FALSE
// for an untrusted host; without, the platform's.
BOOL ReadHttpTarget(const char* url, const SiteList& sites, HttpTarget* target);

enum class RequestShape {
    Probe,  // GET without extra headers
    Form,   // GET (http) or POST with an empty body (https), with the form header
};

struct FormRequest {
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> file;
    DWORD status = 0;  // 0 when the response has none
    bool badUrl = false;   // the URL itself cannot be read (or is not trusted); nothing sent
    bool refused = false;  // a redirect was not followed; nothing sent to its target
};

// Connects, sends and reads the status, following redirects itself: a hop from https to
// http, a hop the lock does not trust, or one more than kMaxRedirects ends the request
// with `refused`, and nothing goes to that hop. Throws CInternetException.
// bounds: each wait, the body's rate and the run's deadline; extraHeaders: more request header lines, each ending in CR LF
// (a resumed download's Range).
FormRequest SendRequest(CInternetSession& session, const CString& url, const SiteList& sites, RequestShape shape,
                        const NetworkBounds& bounds, const std::string& extraHeaders = std::string());
