// The site lock on arbitrary URLs, held against readings of its own: whatever it trusts,
// the host a request built from its reading connects to is the host that two independent
// readers find (RFC 3986's, and the browsers' that also end the authority at a backslash
// and take the last '@'), the URL says nothing beyond that reading, and the scheme is the
// one an https entry asks for.
#include <cstdint>
#include <string>

#include "trust/site_lock.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

struct Reading {
    std::string host;
    std::string port;  // as written, empty when none
    bool userInfo = false;
};

// The authority of "scheme://" up to the first of `ends`; the host after the last '@'.
Reading ReadAuthority(const std::string& url, const char* ends)
{
    Reading r;
    const size_t start = url.find("://") + 3;
    const size_t end = url.find_first_of(ends, start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        r.userInfo = true;
        authority = authority.substr(at + 1);
    }
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']') == std::string::npos) {
        r.port = authority.substr(colon + 1);
        authority.resize(colon);
    }
    r.host = Lower(authority);
    return r;
}

int PortOf(const std::string& digits, bool https)
{
    if (digits.empty())
        return https ? 443 : 80;
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string url(reinterpret_cast<const char*>(data), size);
    LockedUrl read;
    const bool readable = ReadLockedUrl(url, &read);
    if (!SiteIsTrusted(url, {"example.com", "https://*.pay.example"}))
        return 0;
    CHECK(readable, "a trusted URL has the strict reading");
    const bool https = read.scheme == "https";
    for (const char* ends : {"/?#", "/?#\\"}) {
        const Reading other = ReadAuthority(url, ends);
        CHECK(!other.userInfo, "no user name in front of the host, by any reading");
        CHECK(other.host == read.host, "the independent reader finds the judged host");
        CHECK(PortOf(other.port, https) == read.port, "and the judged port");
    }
    const std::string& h = read.host;
    const bool example = h == "example.com" || (h.size() > 12 && h.compare(h.size() - 12, 12, ".example.com") == 0);
    const bool pay = https && h.size() > 12 && h.compare(h.size() - 12, 12, ".pay.example") == 0;
    CHECK(example || pay, "the host is a trusted one, over the scheme its entry asks for");
    // The request is built from the reading alone: it must say all that the URL says.
    const size_t start = url.find("://") + 3;
    const size_t end = url.find_first_of("/?", start);
    const std::string rest = end == std::string::npos ? "" : url.substr(end);
    CHECK(read.object == (rest.empty() || rest[0] != '/' ? "/" + rest : rest), "the object is the rest of the URL");
    CHECK(Lower(url.substr(0, start - 3)) == read.scheme, "the scheme is the URL's");
    for (char c : url)
        CHECK(static_cast<unsigned char>(c) > 0x20 && c != 0x7F && c != '#' && c != '\\',
              "no blank, control character, fragment or backslash");
    return 0;
}
