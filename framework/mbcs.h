// Byte-level text rules for narrow strings in a double-byte code page.
// Positions and lengths count bytes; a search never matches at a trail byte
// (in code page 949 the trail bytes include '\\' 0x5C and '|' 0x7C).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Free of Windows headers, so that the rules also build (and are fuzzed) on the host.
class LeadByteTable {
public:
    // Lead bytes first..last inclusive.
    static LeadByteTable FromRange(unsigned char first, unsigned char last);
#ifdef _WIN32
    // Lead bytes of the given code page, from GetCPInfo.
    static LeadByteTable ForCodePage(unsigned codePage);
#endif
    // Lead bytes of the process's ANSI code page, read once (code page 949 off Windows).
    static const LeadByteTable& Ansi();

    bool IsLead(unsigned char c) const { return m_lead[c]; }

private:
    bool m_lead[256] = {};
};

constexpr size_t kNotFound = std::string_view::npos;

// Length in bytes of the character starting at pos: 2 for a lead byte that has a
// trail byte after it, otherwise 1.
size_t MbCharLength(std::string_view text, size_t pos, const LeadByteTable& table);

// First occurrence of pattern at a character boundary at or after start; start must
// itself be a boundary. An empty pattern is found at start.
size_t MbFind(std::string_view text, std::string_view pattern, size_t start,
              const LeadByteTable& table = LeadByteTable::Ansi());

// Last single-byte character equal to ch.
size_t MbReverseFind(std::string_view text, char ch,
                     const LeadByteTable& table = LeadByteTable::Ansi());

// Removes leading and trailing characters that are in the set (single bytes only).
std::string_view MbTrim(std::string_view text, std::string_view set, bool left, bool right,
                        const LeadByteTable& table = LeadByteTable::Ansi());

// Replaces every non-overlapping occurrence of from, scanning from the left.
std::string MbReplace(std::string_view text, std::string_view from, std::string_view to,
                      int* count, const LeadByteTable& table = LeadByteTable::Ansi());

// Removes every single-byte character equal to ch.
std::string MbRemove(std::string_view text, char ch, int* count,
                     const LeadByteTable& table = LeadByteTable::Ansi());

// Equal ignoring the case of single-byte ASCII letters; double-byte characters compare
// exactly.
bool MbEqualNoCase(std::string_view a, std::string_view b,
                   const LeadByteTable& table = LeadByteTable::Ansi());

// Lower-cases the single-byte ASCII letters; double-byte characters stay as they are
// (their trail bytes include 'A' to 'Z').
std::string MbToLowerAscii(std::string_view text, const LeadByteTable& table = LeadByteTable::Ansi());

// Whitespace that trimming removes: space, tab, CR, LF, vertical tab, form feed.
constexpr std::string_view kWhitespace = " \t\r\n\v\f";
