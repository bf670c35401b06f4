// The site lock: which URLs a locked control and its helper accept. An entry "example.com"
// is that host and its sub-domains, "*.example.com" the sub-domains only, "https://..."
// either form over https only. Hosts compare without regard to case.
//
// A locked build reads every URL once, strictly (ReadLockedUrl), judges that reading, and
// builds its requests from the same reading, so that what is judged is what is connected
// to. Anything the strict reading does not take is refused: user names and passwords,
// fragments, backslashes, blanks and control characters anywhere, percent-escapes and
// trailing dots in the host, ports that are not 1 to 65535, other schemes.
// Plain functions without Windows headers, so that they can be tested and fuzzed on the host.
#pragma once

#include <string>
#include <vector>

struct LockedUrl {
    std::string scheme;  // lower case: "http" or "https"
    std::string host;    // lower case, a plain host name
    int port = 0;        // the URL's own, or the scheme's default
    std::string object;  // path and query as the request sends them; "/" when empty
};

// The strict reading of an http or https URL; false for anything else or anything odd.
bool ReadLockedUrl(const std::string& url, LockedUrl* out);

// Whether the reading names a host of the entries (and the scheme an https entry asks for).
bool HostIsTrusted(const LockedUrl& url, const std::vector<std::string>& entries);

// ReadLockedUrl and HostIsTrusted together.
bool SiteIsTrusted(const std::string& url, const std::vector<std::string>& entries);

// A redirect from https to plain http, which no build follows.
bool IsDowngrade(const std::string& from, const std::string& to);
