#include "trust/list_signature.h"

#include <algorithm>
#include <cstring>

#include "trust/base64.h"

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// Calls line(start, length) for each line as the list's parser splits them: at line feeds
// on character boundaries (a line feed right after a lead byte is that character's trail
// byte). A feed is found with memchr; it ends a line unless the run of lead-range bytes just
// before it (back to the line's start, a boundary) is odd, which pairs its last byte with it.
template <typename F>
void ForEachLine(std::string_view text, const LeadByteTable& table, F line)
{
    size_t start = 0;
    size_t from = 0;
    while (start < text.size()) {
        const void* hit = std::memchr(text.data() + from, '\n', text.size() - from);
        if (!hit) {
            line(start, text.size() - start);
            return;
        }
        const size_t feed = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
        size_t leads = 0;
        while (feed - leads > start && table.IsLead(static_cast<unsigned char>(text[feed - leads - 1])))
            ++leads;
        if (leads % 2 == 1) {  // the feed is a trail byte: the line goes on
            from = feed + 1;
            continue;
        }
        line(start, feed + 1 - start);
        start = from = feed + 1;
    }
}

std::string_view WithoutLineEnd(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    return line;
}

bool ReadSignature(std::string_view line, ListSignature* out)
{
    line.remove_prefix(kSignaturePrefix.size());
    const size_t blank = line.find(' ');
    if (blank != kKeyIdLength)
        return false;
    const std::string_view id = line.substr(0, blank);
    for (char c : id)
        if (!IsHexDigit(c))
            return false;
    std::string bytes;
    if (!Base64Decode(std::string(line.substr(blank + 1)), &bytes) || bytes.empty())
        return false;
    out->keyId.assign(id);
    out->signature = std::move(bytes);
    return true;
}

bool Digits(std::string_view text, size_t at, size_t count, int low, int high, std::string* out)
{
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    if (value < low || value > high)
        return false;
    out->append(text.substr(at, count));
    return true;
}

}  // namespace

void TakeOutSignatureLines(std::string* text, std::vector<ListSignature>* signatures, int* malformed,
                           const LeadByteTable& table)
{
    text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
    char* data = &(*text)[0];
    size_t kept = 0;
    ForEachLine(*text, table, [&](size_t start, size_t length) {
        const std::string_view line(data + start, length);
        if (line.compare(0, kSignaturePrefix.size(), kSignaturePrefix) != 0) {
            if (kept != start)
                std::memmove(data + kept, data + start, length);
            kept += length;
            return;
        }
        ListSignature signature;
        if (ReadSignature(WithoutLineEnd(line), &signature))
            signatures->push_back(std::move(signature));
        else
            ++*malformed;
    });
    text->resize(kept);
}

SignedList SplitSignedList(std::string_view text, const LeadByteTable& table)
{
    SignedList out;
    out.signedText.assign(text);
    TakeOutSignatureLines(&out.signedText, &out.signatures, &out.malformed, table);
    return out;
}

namespace {

// YYYY-MM-DDTHH:MM:SSZ as 14 digits; empty when malformed.
std::string TimeDigits(std::string_view t)
{
    std::string d;
    const bool ok = t.size() == 20 && t[4] == '-' && t[7] == '-' && t[10] == 'T' && t[13] == ':' && t[16] == ':' &&
                    t[19] == 'Z' && Digits(t, 0, 4, 1970, 9999, &d) && Digits(t, 5, 2, 1, 12, &d) &&
                    Digits(t, 8, 2, 1, 31, &d) && Digits(t, 11, 2, 0, 23, &d) && Digits(t, 14, 2, 0, 59, &d) &&
                    Digits(t, 17, 2, 0, 59, &d);
    return ok ? d : std::string();
}

std::string TimeLine(std::string_view prefix, const std::string& d)
{
    return std::string(prefix) + d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + "T" + d.substr(8, 2) +
           ":" + d.substr(10, 2) + ":" + d.substr(12, 2) + "Z";
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

bool IsValidListName(std::string_view text, bool channel)
{
    if (text.empty() || text.size() > kMaxNameLength || !IsAsciiLetter(text[0]))
        return false;
    for (char c : text)
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && !(channel && (c == '-' || c == '_')))
            return false;
    return true;
}

bool IsValidReportUrl(std::string_view url)
{
    // The URL goes into a request as it is.
    bool plain = !url.empty() && url.size() <= kMaxReportUrl;
    for (char c : url)
        plain = plain && c > ' ' && c < 0x7f;
    return plain;
}

bool ReadListExpiry(std::string_view signedText, std::string* digits, const LeadByteTable& table)
{
    int found = 0;
    std::string value;
    ForEachLine(signedText, table, [&](size_t start, size_t length) {
        const std::string_view line = WithoutLineEnd(signedText.substr(start, length));
        if (line.compare(0, kExpiresPrefix.size(), kExpiresPrefix) != 0)
            return;
        ++found;
        value = TimeDigits(line.substr(kExpiresPrefix.size()));
    });
    if (found != 1 || value.empty())
        return false;
    *digits = value;
    return true;
}

bool ReadListClaims(std::string_view signedText, ListClaims* claims, const LeadByteTable& table)
{
    ListClaims read;
    int fors = 0, signeds = 0, reports = 0;
    bool ok = ReadListExpiry(signedText, &read.expires, table);
    ForEachLine(signedText, table, [&](size_t start, size_t length) {
        const std::string_view line = WithoutLineEnd(signedText.substr(start, length));
        if (line.compare(0, kForPrefix.size(), kForPrefix) == 0) {
            ++fors;
            const std::string_view whom = line.substr(kForPrefix.size());
            const size_t slash = whom.find('/');
            read.name.assign(whom.substr(0, slash));
            read.channel.assign(slash == std::string_view::npos ? std::string_view() : whom.substr(slash + 1));
            ok = ok && IsValidListName(read.name, false) &&
                 (slash == std::string_view::npos || IsValidListName(read.channel, true));
        } else if (line.compare(0, kSignedPrefix.size(), kSignedPrefix) == 0) {
            ++signeds;
            read.signedAt = TimeDigits(line.substr(kSignedPrefix.size()));
            ok = ok && !read.signedAt.empty();
        } else if (line.compare(0, kReportPrefix.size(), kReportPrefix) == 0) {
            ++reports;
            read.report.assign(line.substr(kReportPrefix.size()));
            ok = ok && IsValidReportUrl(read.report);
        } else if (line.compare(0, kRevokePrefix.size(), kRevokePrefix) == 0) {
            const std::string_view id = line.substr(kRevokePrefix.size());
            bool hex = id.size() == kKeyIdLength;
            for (char c : id)
                hex = hex && IsHexDigit(c);
            ok = ok && hex && read.revokes.size() < kMaxRevokeLines;
            if (ok)
                read.revokes.emplace_back(id);
        }
    });
    // A list cannot have been signed after it expires.
    if (!ok || fors != 1 || signeds != 1 || reports > 1 || read.signedAt > read.expires)
        return false;
    *claims = std::move(read);
    return true;
}

std::string ListChannelOfUrl(std::string_view url)
{
    url = url.substr(0, url.find_first_of("?#"));
    const size_t slash = url.rfind('/');
    std::string_view name = slash == std::string_view::npos ? url : url.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    std::string channel(name);
    for (char& c : channel)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return channel == "list" ? std::string() : channel;
}

std::string SignatureLine(const std::string& keyId, const std::string& signature)
{
    return std::string(kSignaturePrefix) + keyId + " " + Base64Encode(signature);
}

std::string ExpiresLine(const std::string& d) { return TimeLine(kExpiresPrefix, d); }

std::string SignedLine(const std::string& d) { return TimeLine(kSignedPrefix, d); }

std::string ForLine(const std::string& name, const std::string& channel)
{
    return std::string(kForPrefix) + name + (channel.empty() ? "" : "/" + channel);
}

std::string RevokeLine(const std::string& keyId) { return std::string(kRevokePrefix) + keyId; }

std::string ReportLine(const std::string& url) { return std::string(kReportPrefix) + url; }
