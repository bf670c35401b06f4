// The site lock on arbitrary URLs: whatever it trusts names exactly a trusted host, over
// the scheme the entry asks for, with nothing in front of the host.
#include <cstdint>
#include <string>

#include "control/site_lock.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string url(reinterpret_cast<const char*>(data), size);
    UrlHost parsed;
    const bool parses = ParseUrlHost(url, &parsed);
    if (SiteIsTrusted(url, {"example.com"})) {
        CHECK(parses, "a trusted URL parses");
        const std::string& h = parsed.host;
        CHECK(h == "example.com" || (h.size() > 12 && h.compare(h.size() - 12, 12, ".example.com") == 0),
              "the host is example.com or below it");
        const size_t start = url.find("://") + 3;
        const std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
        CHECK(authority.find('@') == std::string::npos, "no user name in front of the host");
    }
    if (SiteIsTrusted(url, {"https://*.pay.example"}))
        CHECK(parses && parsed.scheme == "https" && parsed.host != "pay.example", "sub-domains over https only");
    return 0;
}
