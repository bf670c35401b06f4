// The double-byte text rules against a plain character walk: every search result must be
// at a character boundary, and no boundary the walk finds may be missed.
//
// Input: flags, lead range first and last, a byte to look for, a start selector, the
// pattern length and the replacement length, then pattern, replacement and text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "framework/mbcs.h"

#include "tests/fuzz/fuzz_check.h"

namespace {

// Character starts of text, walked byte by byte: a lead byte with a byte after it
// starts a pair.
struct Walk {
    std::vector<size_t> starts;
    std::vector<bool> boundary;  // size + 1 entries; the end is a boundary
    std::vector<bool> pair;      // per byte: starts a two-byte character

    Walk(std::string_view text, const LeadByteTable& table)
        : boundary(text.size() + 1, false), pair(text.size(), false)
    {
        size_t pos = 0;
        while (pos < text.size()) {
            starts.push_back(pos);
            boundary[pos] = true;
            const bool two = table.IsLead(static_cast<unsigned char>(text[pos])) &&
                             pos + 1 < text.size();
            pair[pos] = two;
            pos += two ? 2 : 1;
        }
        boundary[text.size()] = true;
    }

    bool Single(std::string_view text, size_t pos, char ch) const
    {
        return boundary[pos] && pos < text.size() && !pair[pos] && text[pos] == ch;
    }
};

bool InSet(std::string_view set, char ch) { return set.find(ch) != std::string_view::npos; }

void CheckCharLength(std::string_view text, const Walk& walk, const LeadByteTable& table)
{
    for (const size_t pos : walk.starts)
        CHECK(MbCharLength(text, pos, table) == (walk.pair[pos] ? 2u : 1u),
              "MbCharLength is 2 exactly for a lead byte with a byte after it");
}

void CheckFind(std::string_view text, const Walk& walk, std::string_view pattern, size_t start,
               const LeadByteTable& table)
{
    const size_t found = MbFind(text, pattern, start, table);
    if (pattern.empty()) {
        CHECK(found == start, "an empty pattern is found at the start");
        return;
    }
    size_t expected = kNotFound;
    for (const size_t pos : walk.starts) {
        if (pos >= start && pos + pattern.size() <= text.size() &&
            text.compare(pos, pattern.size(), pattern) == 0) {
            expected = pos;
            break;
        }
    }
    if (found != kNotFound) {
        CHECK(found < text.size() && walk.boundary[found], "MbFind hits a character boundary");
        CHECK(found >= start, "MbFind hits at or after the start");
        CHECK(text.compare(found, pattern.size(), pattern) == 0, "MbFind hits the pattern");
    }
    CHECK(found == expected, "MbFind returns the first boundary where the pattern is");
}

void CheckReverseFind(std::string_view text, const Walk& walk, char ch,
                      const LeadByteTable& table)
{
    const size_t found = MbReverseFind(text, ch, table);
    size_t expected = kNotFound;
    for (const size_t pos : walk.starts)
        if (walk.Single(text, pos, ch))
            expected = pos;
    if (found != kNotFound)
        CHECK(found < text.size() && walk.Single(text, found, ch),
              "MbReverseFind hits a single-byte character equal to ch");
    CHECK(found == expected, "MbReverseFind returns the last such character");
}

void CheckTrim(std::string_view text, const Walk& walk, std::string_view set, bool left,
               bool right, const LeadByteTable& table)
{
    const std::string_view trimmed = MbTrim(text, set, left, right, table);
    CHECK(trimmed.data() >= text.data() &&
              trimmed.data() + trimmed.size() <= text.data() + text.size(),
          "MbTrim returns a piece of its input");
    const size_t begin = static_cast<size_t>(trimmed.data() - text.data());
    const size_t end = begin + trimmed.size();
    CHECK(walk.boundary[begin] && walk.boundary[end], "MbTrim cuts at character boundaries");
    CHECK(left || begin == 0, "nothing is cut on the left unless asked");
    CHECK(right || end == text.size(), "nothing is cut on the right unless asked");
    size_t lastStart = kNotFound;
    for (const size_t pos : walk.starts) {
        const bool cut = !walk.pair[pos] && InSet(set, text[pos]);
        if (pos < begin || pos >= end)
            CHECK(cut, "MbTrim cuts only single-byte characters from the set");
        if (pos == begin && left)
            CHECK(!cut, "MbTrim cuts every leading character from the set");
        if (pos < end)
            lastStart = pos;
    }
    if (right && end > begin) {
        const bool cut = !walk.pair[lastStart] && InSet(set, text[lastStart]);
        CHECK(!cut, "MbTrim cuts every trailing character from the set");
    }
}

void CheckRemove(std::string_view text, const Walk& walk, char ch, const LeadByteTable& table)
{
    int count = -1;
    const std::string result = MbRemove(text, ch, &count, table);
    int expectedCount = 0;
    std::string expected;
    for (const size_t pos : walk.starts) {
        if (walk.Single(text, pos, ch))
            ++expectedCount;
        else
            expected.append(text.substr(pos, walk.pair[pos] ? 2 : 1));
    }
    CHECK(count == expectedCount, "MbRemove counts the single-byte characters equal to ch");
    CHECK(result.size() == text.size() - static_cast<size_t>(count),
          "MbRemove shortens the text by one byte per removed character");
    CHECK(result == expected, "MbRemove keeps every other character in order");
    const Walk after(result, table);
    for (const size_t pos : after.starts)
        CHECK(!after.Single(result, pos, ch), "no character equal to ch is left behind");
}

void CheckReplace(std::string_view text, const Walk& walk, std::string_view from,
                  std::string_view to, const LeadByteTable& table)
{
    int count = -1;
    const std::string result = MbReplace(text, from, to, &count, table);
    CHECK(count >= 0, "MbReplace reports a count");
    CHECK(static_cast<long long>(result.size()) ==
              static_cast<long long>(text.size()) +
                  count * (static_cast<long long>(to.size()) - static_cast<long long>(from.size())),
          "MbReplace result length matches its count");
    if (from.empty()) {
        CHECK(count == 0 && result == text, "an empty pattern replaces nothing");
        return;
    }
    if (MbFind(text, from, 0, table) == kNotFound)
        CHECK(count == 0 && result == text, "a pattern that is not found replaces nothing");
    else
        CHECK(count > 0, "a pattern that is found is replaced");

    std::string expected;
    int expectedCount = 0;
    size_t pos = 0;
    for (const size_t start : walk.starts) {
        if (start < pos || start + from.size() > text.size() ||
            text.compare(start, from.size(), from) != 0)
            continue;
        expected.append(text.substr(pos, start - pos));
        expected.append(to);
        pos = start + from.size();
        ++expectedCount;
    }
    expected.append(text.substr(pos));
    CHECK(count == expectedCount, "MbReplace replaces every non-overlapping boundary hit");
    CHECK(result == expected, "MbReplace result is the left-to-right replacement");
}

void CheckAll(std::string_view text, std::string_view pattern, std::string_view to, char ch,
              unsigned char startByte, const LeadByteTable& table)
{
    const Walk walk(text, table);
    CheckCharLength(text, walk, table);

    const size_t start = walk.starts.empty() ? 0 : walk.starts[startByte % walk.starts.size()];
    CheckFind(text, walk, pattern, start, table);
    CheckFind(text, walk, pattern, 0, table);
    CheckFind(text, walk, pattern.substr(0, 1), start, table);
    CHECK(MbFind(text, pattern, text.size() + 1, table) == kNotFound,
          "a start past the end finds nothing");

    CheckReverseFind(text, walk, ch, table);
    if (!pattern.empty())
        CheckReverseFind(text, walk, pattern[0], table);

    for (const std::string_view set : {pattern, kWhitespace}) {
        for (int sides = 0; sides < 4; ++sides)
            CheckTrim(text, walk, set, sides & 1, sides & 2, table);
    }

    CheckRemove(text, walk, ch, table);
    if (!pattern.empty())
        CheckRemove(text, walk, pattern[0], table);

    CheckReplace(text, walk, pattern, to, table);
    CheckReplace(text, walk, pattern.substr(0, 1), to, table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr size_t kHeader = 7;
    if (size < kHeader)
        return 0;
    const unsigned flags = data[0];
    const unsigned char first = data[1];
    const unsigned char last = data[2];
    const char ch = static_cast<char>(data[3]);
    const unsigned char startByte = data[4];
    std::string_view rest(reinterpret_cast<const char*>(data) + kHeader, size - kHeader);
    const size_t patternSize = std::min<size_t>(data[5] % 33, rest.size());
    const std::string_view pattern = rest.substr(0, patternSize);
    rest.remove_prefix(patternSize);
    const size_t toSize = std::min<size_t>(data[6] % 17, rest.size());
    const std::string_view to = rest.substr(0, toSize);
    rest.remove_prefix(toSize);

    if (flags & 1) {
        CheckAll(rest, pattern, to, ch, startByte, LeadByteTable::FromRange(first, last));
    } else {
        CheckAll(rest, pattern, to, ch, startByte, LeadByteTable::Ansi());
    }
    return 0;
}
