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
    for (size_t pos = start; pos + pattern.size() <= text.size();
         pos += MbCharLength(text, pos, table)) {
        if (text.compare(pos, pattern.size(), pattern) == 0)
            return pos;
    }
    return kNotFound;
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
    size_t begin = 0;
    if (left) {
        while (begin < text.size() && MbCharLength(text, begin, table) == 1 &&
               set.find(text[begin]) != std::string_view::npos)
            ++begin;
    }
    size_t end = text.size();
    if (right) {
        // Walk forward so that a trail byte is never taken for a single character.
        end = begin;
        for (size_t pos = begin; pos < text.size();) {
            const size_t len = MbCharLength(text, pos, table);
            if (len != 1 || set.find(text[pos]) == std::string_view::npos)
                end = pos + len;
            pos += len;
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
        for (size_t hit; (hit = MbFind(text, from, pos, table)) != kNotFound;) {
            result.append(text.substr(pos, hit - pos));
            result.append(to);
            pos = hit + from.size();
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
