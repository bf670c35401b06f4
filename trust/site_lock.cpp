#include "trust/site_lock.h"

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

bool ReadLockedUrl(const std::string& url, LockedUrl* out)
{
    // Nothing that any reader could take as a separator or a break: no blank, control
    // character, backslash or fragment anywhere in the URL.
    for (const char c : url) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == '\\' || c == '#')
            return false;
    }
    const size_t colon = url.find("://");
    if (colon == std::string::npos)
        return false;
    const std::string scheme = Lower(url.substr(0, colon));
    if (scheme != "http" && scheme != "https")
        return false;
    const size_t start = colon + 3;
    const size_t end = url.find_first_of("/?", start);
    const std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // A user name in front of the host is never allowed: it is how a host is hidden.
    if (authority.find('@') != std::string::npos)
        return false;
    std::string host = authority;
    int port = scheme == "https" ? 443 : 80;
    const size_t portAt = host.find(':');
    if (portAt != std::string::npos) {
        const std::string digits = host.substr(portAt + 1);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        port = std::stoi(digits);
        if (port < 1 || port > 65535)
            return false;
        host.resize(portAt);
    }
    host = Lower(host);
    if (!IsPlainHostName(host))
        return false;
    std::string object = end == std::string::npos ? std::string() : url.substr(end);
    if (object.empty() || object[0] != '/')
        object.insert(0, "/");
    out->scheme = scheme;
    out->host = host;
    out->port = port;
    out->object = object;
    return true;
}

bool HostIsTrusted(const LockedUrl& parsed, const std::vector<std::string>& entries)
{
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

bool SiteIsTrusted(const std::string& url, const std::vector<std::string>& entries)
{
    LockedUrl parsed;
    return ReadLockedUrl(url, &parsed) && HostIsTrusted(parsed, entries);
}

bool IsDowngrade(const std::string& from, const std::string& to)
{
    return Lower(from.substr(0, 8)) == "https://" && Lower(to.substr(0, 8)) != "https://";
}
