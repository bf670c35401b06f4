#include "engine/run_log_text.h"

#include <cstdio>

namespace {

constexpr size_t kLongestDetail = 900;

bool IsUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string RunLogLine(const LogTime& time, const std::string& step, int code, const std::string& detail)
{
    char head[64] = {};
    std::snprintf(head, sizeof(head), "%04d-%02d-%02dT%02d:%02d:%02dZ ", time.year, time.month, time.day, time.hour,
                  time.minute, time.second);
    std::string text = detail.substr(0, kLongestDetail);
    // Cut at a character's start, so the line stays valid UTF-8 as far as the detail was.
    if (text.size() < detail.size())
        while (!text.empty() && IsUtf8Continuation(detail[text.size()]))
            text.pop_back();
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    std::string line = head + step + " " + std::to_string(code);
    if (!text.empty())
        line += " " + text;
    return line + "\n";
}

std::string LoggedUrl(const std::string& url)
{
    std::string rest = url;
    const size_t scheme = rest.find("://");
    if (scheme != std::string::npos && rest.find_first_of("/?#") > scheme)
        rest = rest.substr(scheme + 3);
    // Nothing after a query or fragment mark, in the authority or the path.
    rest = rest.substr(0, rest.find_first_of("?#"));
    const size_t slash = rest.find_first_of("/\\");
    std::string authority = rest.substr(0, slash);
    const std::string path = slash == std::string::npos ? std::string() : rest.substr(slash);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority = authority.substr(at + 1);
    // The port goes; a bracketed IPv6 host keeps its colons.
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos)
        authority = authority.substr(0, colon);
    return authority + path;
}

std::string OlderLogPath(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".old";
    return path.substr(0, dot) + ".old" + path.substr(dot);
}
