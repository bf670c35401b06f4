// The version check's text rules against plain references: the components of a version
// from a character walk and exact arithmetic, the order of versions, the normalised
// form, the versioned names and the time stamp rule.
//
// Input: flags, lead range first and last, the lengths of the first two texts (one byte
// each, times 17, so that texts past the 99-byte limit are common), then three texts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/version_text.h"

#include "tests/fuzz/fuzz_check.h"

namespace {

// Character starts of text: a lead byte with a byte after it starts a pair.
struct Walk {
    std::vector<size_t> starts;
    std::vector<bool> pair;

    Walk(std::string_view text, const LeadByteTable& table) : pair(text.size(), false)
    {
        for (size_t pos = 0; pos < text.size();) {
            starts.push_back(pos);
            pair[pos] = table.IsLead(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size();
            pos += pair[pos] ? 2 : 1;
        }
    }

    bool Single(std::string_view text, size_t pos, std::string_view set) const
    {
        return !pair[pos] && set.find(text[pos]) != std::string_view::npos;
    }
};

size_t CountSingles(std::string_view text, std::string_view set, const LeadByteTable& table)
{
    const Walk walk(text, table);
    size_t count = 0;
    for (const size_t pos : walk.starts)
        count += walk.Single(text, pos, set);
    return count;
}

// A component of at most 15 bytes as atoi reads it: it fits a long long exactly.
uint16_t ReferenceValue(std::string_view piece)
{
    size_t pos = 0;
    while (pos < piece.size() && std::string_view(" \t\n\v\f\r").find(piece[pos]) != std::string_view::npos)
        ++pos;
    long long sign = 1;
    if (pos < piece.size() && (piece[pos] == '-' || piece[pos] == '+'))
        sign = piece[pos++] == '-' ? -1 : 1;
    long long number = 0;
    while (pos < piece.size() && piece[pos] >= '0' && piece[pos] <= '9')
        number = number * 10 + (piece[pos++] - '0');
    return static_cast<uint16_t>(((sign * number) % 65536 + 65536) % 65536);
}

void ReferenceParse(std::string_view text, uint16_t* values, int count, const LeadByteTable& table)
{
    const Walk walk(text, table);
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (const size_t pos : walk.starts) {
        if (walk.Single(text, pos, ",.")) {
            pieces.push_back(text.substr(start, pos - start));
            start = pos + 1;
        }
    }
    pieces.push_back(text.substr(start));
    for (size_t i = 0; i < pieces.size() && i < static_cast<size_t>(count); ++i)
        values[i] = ReferenceValue(pieces[i].substr(0, 15));
}

struct Version {
    uint16_t values[4] = {};
};

Version CheckParse(std::string_view text, const LeadByteTable& table)
{
    for (int count = 0; count <= 4; ++count) {
        uint16_t got[4] = {0xA5A5, 0xA5A5, 0xA5A5, 0xA5A5};
        uint16_t want[4] = {0xA5A5, 0xA5A5, 0xA5A5, 0xA5A5};
        ParseVersionText(text, got, count, table);
        ReferenceParse(text, want, count, table);
        CHECK(std::equal(got, got + 4, want), "components match the walk, other values are kept");
    }
    Version version;
    ReferenceParse(text.substr(0, 99), version.values, 4, table);
    return version;
}

bool Higher(const Version& a, const Version& b)
{
    return std::lexicographical_compare(b.values, b.values + 4, a.values, a.values + 4);
}

void CheckOrder(const std::string_view (&texts)[3], const LeadByteTable& table)
{
    Version versions[3];
    for (int i = 0; i < 3; ++i)
        versions[i] = CheckParse(texts[i], table);
    bool higher[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            higher[i][j] = CompareVersionTexts(texts[i], texts[j], table);
            CHECK(higher[i][j] == Higher(versions[i], versions[j]),
                  "the order is that of the first four components of the first 99 bytes");
        }
    }
    for (int i = 0; i < 3; ++i) {
        CHECK(!higher[i][i], "no version is higher than itself");
        for (int j = 0; j < 3; ++j) {
            CHECK(!(higher[i][j] && higher[j][i]), "of two versions at most one is higher");
            for (int k = 0; k < 3; ++k)
                CHECK(!(higher[i][j] && higher[j][k]) || higher[i][k], "the order is transitive");
        }
    }
    const std::string longer = std::string(texts[0]) + ".9.9.9.9";
    if (texts[0].size() >= 99)
        CHECK(CompareVersionTexts(longer, texts[1], table) == higher[0][1], "bytes past 99 never count");
}

void CheckNormalize(std::string_view text, const LeadByteTable& table)
{
    const std::string normal = NormalizeVersionText(text, table);
    CHECK(normal.size() == text.size() - CountSingles(text, " ", table), "only the blanks are taken out");
    // Where ',' or '.' is a lead byte of the table, a replacement can start or end a pair.
    if (table.IsLead('.') || table.IsLead(','))
        return;
    CHECK(CountSingles(normal, " ,", table) == 0, "no blank or comma is left");
    CHECK(CountSingles(normal, ".", table) == CountSingles(text, ".,", table), "every comma became a dot");
}

std::string AsciiLower(std::string_view text)
{
    std::string lower(text);
    for (char& ch : lower)
        ch = ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
    return lower;
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
}

// With the code page 949 table: no ASCII byte is a lead byte, so a double-byte character
// in the last four bytes never matches the ASCII patterns.
void CheckExtension(std::string_view name)
{
    const LeadByteTable& table = LeadByteTable::Ansi();
    const Walk walk(name, table);
    size_t end = 0;
    for (const size_t pos : walk.starts)
        if (!walk.Single(name, pos, " \t\r\n\v\f"))
            end = pos + (walk.pair[pos] ? 2 : 1);
    const std::string last = AsciiLower(name.substr(end > 4 ? end - 4 : 0, std::min<size_t>(end, 4)));
    const bool expected = last == ".dll" || last == ".ocx" || last == ".exe";
    CHECK(HasVersionedExtension(name, table) == expected,
          "versioned: the last four bytes before trailing blanks are .dll, .ocx or .exe");
}

void CheckStamp(std::string_view fileTime, std::string_view stamp, const LeadByteTable& table)
{
    const bool matches = FileTimeStampMatches(fileTime, stamp, table);
    if (stamp.empty())
        CHECK(!matches, "an empty stamp never matches");
    if (!stamp.empty() && stamp == fileTime)
        CHECK(matches, "a stamp equal to the file time matches");
    if (stamp.size() >= 2) {
        std::string other(stamp);
        other[other.size() - 1] ^= 0x55;
        other[other.size() - 2] ^= 0x2A;
        CHECK(FileTimeStampMatches(fileTime, other, table) == matches, "the last two bytes never count");
    }
    if (matches)
        CHECK(std::max<size_t>(stamp.size(), 2) == std::max<size_t>(fileTime.size(), 2),
              "a matching stamp is as long as the file time");
    const std::string_view a = fileTime.substr(0, fileTime.size() >= 2 ? fileTime.size() - 2 : 0);
    const std::string_view b = stamp.substr(0, stamp.size() >= 2 ? stamp.size() - 2 : 0);
    // Code page 949 has no ASCII lead byte: ASCII text is all single bytes.
    if (!stamp.empty() && IsAscii(a) && IsAscii(b))
        CHECK(FileTimeStampMatches(fileTime, stamp, LeadByteTable::Ansi()) == (AsciiLower(a) == AsciiLower(b)),
              "ASCII stamps match ignoring letter case");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t kHeader = 5;
    if (size < kHeader)
        return 0;
    const LeadByteTable table =
        data[0] & 1 ? LeadByteTable::FromRange(data[1], data[2]) : LeadByteTable::Ansi();
    std::string_view rest(reinterpret_cast<const char*>(data) + kHeader, size - kHeader);
    std::string_view texts[3];
    for (int i = 0; i < 2; ++i) {
        texts[i] = rest.substr(0, std::min<size_t>(data[3 + i] * 17u, rest.size()));
        rest.remove_prefix(texts[i].size());
    }
    texts[2] = rest;

    CheckOrder(texts, table);
    for (const std::string_view text : texts) {
        CheckNormalize(text, table);
        CheckExtension(text);
    }
    CheckStamp(texts[0], texts[1], table);
    CheckStamp(texts[2], texts[2], table);
    return 0;
}
