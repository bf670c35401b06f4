#include "control/site_lock.h"

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Letters, digits and inner hyphens in dot-separated labels; no empty label.
bool IsPlainHostName(const std::string& host)
{
    if (host.empty() || host.size() > 253)
        return false;
    size_t label = 0;
    for (size_t i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == '.') {
            if (label == 0 || host[i - 1] == '-')
                return false;
            label = 0;
            continue;
        }
        const char c = host[i];
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c == '-' && label > 0);
        if (!ok || ++label > 63)
            return false;
    }
    return true;
}

bool EndsWithLabel(const std::string& host, const std::string& domain)
{
    return host.size() > domain.size() + 1 && host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
           host[host.size() - domain.size() - 1] == '.';
}

}  // namespace

bool ParseUrlHost(const std::string& url, UrlHost* out)
{
    const size_t colon = url.find("://");
    if (colon == std::string::npos)
        return false;
    const std::string scheme = Lower(url.substr(0, colon));
    if (scheme != "http" && scheme != "https")
        return false;
    const size_t start = colon + 3;
    const size_t end = url.find_first_of("/?#", start);
    const std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // A user name in front of the host is never allowed: it is how a host is hidden. Nor a
    // backslash, which browsers and the download's URL parser may read differently.
    if (authority.find('@') != std::string::npos || authority.find('\\') != std::string::npos)
        return false;
    std::string host = authority;
    const size_t port = host.rfind(':');
    if (port != std::string::npos) {
        const std::string digits = host.substr(port + 1);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        host.resize(port);
    }
    host = Lower(host);
    if (!IsPlainHostName(host))
        return false;
    out->scheme = scheme;
    out->host = host;
    return true;
}

bool SiteIsTrusted(const std::string& url, const std::vector<std::string>& entries)
{
    UrlHost parsed;
    if (!ParseUrlHost(url, &parsed))
        return false;
    for (std::string entry : entries) {
        entry = Lower(entry);
        bool httpsOnly = false;
        if (entry.compare(0, 8, "https://") == 0) {
            httpsOnly = true;
            entry.erase(0, 8);
        }
        if (httpsOnly && parsed.scheme != "https")
            continue;
        if (entry.compare(0, 2, "*.") == 0) {
            const std::string domain = entry.substr(2);
            if (IsPlainHostName(domain) && EndsWithLabel(parsed.host, domain))
                return true;
            continue;
        }
        if (IsPlainHostName(entry) && (parsed.host == entry || EndsWithLabel(parsed.host, entry)))
            return true;
    }
    return false;
}
