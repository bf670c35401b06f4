// The site lock: which URLs a locked control accepts. An entry "example.com" is that host
// and its sub-domains, "*.example.com" the sub-domains only, "https://..." either form over
// https only. Hosts compare without regard to case; anything that is not a plain host name
// (user names, percent-escapes, a trailing dot, other schemes) is never trusted. Plain
// functions without Windows headers, so that they can be tested and fuzzed on the host.
#pragma once

#include <string>
#include <vector>

struct UrlHost {
    std::string scheme;  // lower case: "http" or "https"
    std::string host;    // lower case
};

// The scheme and host of an http or https URL; false for anything else or anything odd.
bool ParseUrlHost(const std::string& url, UrlHost* out);

bool SiteIsTrusted(const std::string& url, const std::vector<std::string>& entries);
