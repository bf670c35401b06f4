#include "framework/mbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

LeadByteTable LeadByteTable::FromRange(unsigned char first, unsigned char last)
{
    LeadByteTable table;
    for (unsigned c = first; c <= last; ++c)
        table.m_lead[c] = true;
    return table;
}

#ifdef _WIN32
LeadByteTable LeadByteTable::ForCodePage(unsigned codePage)
{
    LeadByteTable table;
    CPINFO info = {};
    if (!GetCPInfo(codePage, &info))
        return table;
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
        for (unsigned c = info.LeadByte[i]; c <= info.LeadByte[i + 1] && c < 256; ++c)
            table.m_lead[c] = true;
    }
    return table;
}

const LeadByteTable& LeadByteTable::Ansi()
{
    static const LeadByteTable table = ForCodePage(CP_ACP);
    return table;
}
#else
const LeadByteTable& LeadByteTable::Ansi()
{
    static const LeadByteTable table = FromRange(0x81, 0xFE);
    return table;
}
#endif

size_t MbCharLength(std::string_view text, size_t pos, const LeadByteTable& table)
{
    if (pos + 1 < text.size() && table.IsLead(static_cast<unsigned char>(text[pos])))
        return 2;
    return 1;
}

size_t MbFind(std::string_view text, std::string_view pattern, size_t start,
              const LeadByteTable& table)
{
    if (start > text.size())
        return kNotFound;
    if (pattern.empty())
        return start;
    // Raw matches come from the fast byte search; only a match that starts at a character
    // boundary counts. Characters are at most two bytes, so after a match inside a
    // character the search goes on from the next boundary.
    for (size_t pos = start;;) {
        const size_t hit = text.find(pattern, pos);
        if (hit == std::string_view::npos)
            return kNotFound;
        while (pos < hit)
            pos += MbCharLength(text, pos, table);
        if (pos == hit)
            return hit;
    }
}

size_t MbReverseFind(std::string_view text, char ch, const LeadByteTable& table)
{
    size_t found = kNotFound;
    for (size_t pos = 0; pos < text.size();) {
        const size_t len = MbCharLength(text, pos, table);
        if (len == 1 && text[pos] == ch)
            found = pos;
        pos += len;
    }
    return found;
}

std::string_view MbTrim(std::string_view text, std::string_view set, bool left, bool right,
                        const LeadByteTable& table)
{
    const auto inSet = [set](char ch) {
        for (const char member : set) {
            if (member == ch)
                return true;
        }
        return false;
    };
    size_t begin = 0;
    if (left) {
        while (begin < text.size() && MbCharLength(text, begin, table) == 1 && inSet(text[begin]))
            ++begin;
    }
    size_t end = text.size();
    if (right) {
        // From the end, without walking the whole text: a byte that is not a lead byte
        // always ends a character, so the lead bytes just before a position pair up from
        // there, and their count says whether the position starts a character.
        while (end > begin) {
            size_t leads = 0;
            while (end - 1 - leads > begin && table.IsLead(static_cast<unsigned char>(text[end - 2 - leads])))
                ++leads;
            const size_t last = leads % 2 == 0 ? end - 1 : end - 2;
            if (end - last != 1 || !inSet(text[last]))
                break;
            end = last;
        }
    }
    return text.substr(begin, end - begin);
}

std::string MbReplace(std::string_view text, std::string_view from, std::string_view to,
                      int* count, const LeadByteTable& table)
{
    int replaced = 0;
    std::string result;
    if (from.empty()) {
        result.assign(text);
    } else {
        result.reserve(text.size());
        size_t pos = 0;
        size_t searchFrom = 0;
        for (size_t hit; (hit = MbFind(text, from, searchFrom, table)) != kNotFound;) {
            result.append(text.substr(pos, hit - pos));
            result.append(to);
            pos = hit + from.size();
            // A pattern ending in a lone lead byte ends inside a character: its trail byte
            // is kept, and the search goes on from the next boundary.
            searchFrom = hit;
            while (searchFrom < pos)
                searchFrom += MbCharLength(text, searchFrom, table);
            ++replaced;
        }
        result.append(text.substr(pos));
    }
    if (count)
        *count = replaced;
    return result;
}

std::string MbRemove(std::string_view text, char ch, int* count, const LeadByteTable& table)
{
    int removed = 0;
    std::string result;
    if (text.find(ch) == std::string_view::npos) {
        if (count)
            *count = 0;
        return std::string(text);
    }
    result.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t len = MbCharLength(text, pos, table);
        if (len == 1 && text[pos] == ch)
            ++removed;
        else
            result.append(text.substr(pos, len));
        pos += len;
    }
    if (count)
        *count = removed;
    return result;
}

namespace {

char LowerAscii(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

}  // namespace

std::string MbToLowerAscii(std::string_view text, const LeadByteTable& table)
{
    std::string lower(text);
    for (size_t pos = 0; pos < lower.size();) {
        const size_t length = MbCharLength(lower, pos, table);
        if (length == 1)
            lower[pos] = LowerAscii(lower[pos]);
        pos += length;
    }
    return lower;
}

bool MbEqualNoCase(std::string_view a, std::string_view b, const LeadByteTable& table)
{
    if (a.size() != b.size())
        return false;
    const auto lower = LowerAscii;
    for (size_t pos = 0; pos < a.size();) {
        const size_t length = MbCharLength(a, pos, table);
        if (length != MbCharLength(b, pos, table))
            return false;
        if (length == 1 ? lower(a[pos]) != lower(b[pos]) : a.compare(pos, length, b.substr(pos, length)) != 0)
            return false;
        pos += length;
    }
    return true;
}
