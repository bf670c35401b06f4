#include "engine/version_text.h"

namespace {

bool IsSeparator(char ch) { return ch == ',' || ch == '.'; }

// The leading number of a component as atoi reads it, kept modulo 65536 as it is read:
// no digit string, however long, can overflow.
uint16_t LeadingValue(std::string_view token)
{
    size_t pos = 0;
    while (pos < token.size() && kWhitespace.find(token[pos]) != std::string_view::npos)
        ++pos;
    bool negative = false;
    if (pos < token.size() && (token[pos] == '+' || token[pos] == '-')) {
        negative = token[pos] == '-';
        ++pos;
    }
    unsigned value = 0;
    for (; pos < token.size() && token[pos] >= '0' && token[pos] <= '9'; ++pos)
        value = (value * 10 + static_cast<unsigned>(token[pos] - '0')) & 0xFFFFu;
    if (negative)
        value = (0x10000u - value) & 0xFFFFu;
    return static_cast<uint16_t>(value);
}

// First single-byte ',' or '.' at or after start (a character boundary).
size_t FindSeparator(std::string_view text, size_t start, const LeadByteTable& table)
{
    for (size_t pos = start; pos < text.size();) {
        const size_t length = MbCharLength(text, pos, table);
        if (length == 1 && IsSeparator(text[pos]))
            return pos;
        pos += length;
    }
    return kNotFound;
}

}  // namespace

void ParseVersionText(std::string_view text, uint16_t* values, int count,
                      const LeadByteTable& table)
{
    size_t pos = 0;
    for (int index = 0; index < count; ++index) {
        const size_t separator = FindSeparator(text, pos, table);
        const size_t end = separator == kNotFound ? text.size() : separator;
        // A component longer than its old buffer counts with its leading bytes only.
        values[index] = LeadingValue(text.substr(pos, end - pos).substr(0, kVersionComponentLimit));
        if (separator == kNotFound)
            break;
        pos = separator + 1;
    }
}

bool CompareVersionTexts(std::string_view first, std::string_view second,
                         const LeadByteTable& table)
{
    uint16_t a[4] = {};
    uint16_t b[4] = {};
    // Texts longer than the limit count with their leading bytes, as their bounded copies
    // did. A cut through a double-byte character leaves its lead byte alone at the end,
    // where in code page 949 it is neither a digit nor a separator.
    ParseVersionText(first.substr(0, kVersionTextLimit), a, 4, table);
    ParseVersionText(second.substr(0, kVersionTextLimit), b, 4, table);
    for (int i = 0; i < 4; ++i) {
        if (a[i] != b[i])
            return a[i] > b[i];
    }
    return false;
}

std::string NormalizeVersionText(std::string_view text, const LeadByteTable& table)
{
    const std::string withoutBlanks = MbRemove(text, ' ', nullptr, table);
    return MbReplace(withoutBlanks, ",", ".", nullptr, table);
}

bool HasVersionedExtension(std::string_view fileName, const LeadByteTable& table)
{
    const std::string_view name = MbTrim(fileName, kWhitespace, false, true, table);
    const std::string_view extension = name.size() > 4 ? name.substr(name.size() - 4) : name;
    for (const std::string_view versioned : {".dll", ".ocx", ".exe"}) {
        if (MbEqualNoCase(extension, versioned, table))
            return true;
    }
    return false;
}

bool FileTimeStampMatches(std::string_view fileTimeText, std::string_view stamp,
                          const LeadByteTable& table)
{
    if (stamp.empty())
        return false;
    // Bytes, not characters: the stamp is digits wherever it can match.
    const auto withoutSeconds = [](std::string_view text) {
        return text.substr(0, text.size() >= 2 ? text.size() - 2 : 0);
    };
    return MbEqualNoCase(withoutSeconds(fileTimeText), withoutSeconds(stamp), table);
}
