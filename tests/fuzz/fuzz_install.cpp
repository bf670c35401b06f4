// The installation's text rules against plain references: the listed time against a
// calendar walk, the shell buffer's bounds, the temporary sibling's folder part and the
// module-name test against a lower-cased character walk.
//
// Input: flags, lead range first and last, then the text.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/install_text.h"

#include "tests/fuzz/fuzz_check.h"

namespace {

bool Leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// The listed time, read by a calendar walk instead of a month table.
bool ReferenceTime(std::string_view text, ListTime* t)
{
    if (text.size() < 14)
        return false;
    int v[14];
    for (int i = 0; i < 14; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v[i] = text[i] - '0';
    }
    auto two = [&](int i) { return v[i] * 10 + v[i + 1]; };
    *t = {v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], two(4), two(6), two(8), two(10), two(12)};
    if (t->year < 1601 || t->month < 1 || t->month > 12 || t->hour > 23 || t->minute > 59 || t->second > 59)
        return false;
    int days = 31;
    if (t->month == 2)
        days = Leap(t->year) ? 29 : 28;
    else if (t->month == 4 || t->month == 6 || t->month == 9 || t->month == 11)
        days = 30;
    return t->day >= 1 && t->day <= days;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const LeadByteTable table = LeadByteTable::FromRange(data[1], data[2]);
    const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);

    ListTime got, want;
    const bool parsed = ParseListTime(text, &got);
    CHECK(parsed == ReferenceTime(text, &want), "a listed time is read as the calendar says");
    if (parsed)
        CHECK(std::memcmp(&got, &want, sizeof got) == 0, "every field of the listed time");

    char buffer[kShellPathBuffer];
    std::memset(buffer, 'z', sizeof buffer);
    const bool fits = text.size() <= kShellPathBuffer - 2 && text.find('\0') == std::string::npos;
    CHECK(FillShellPathBuffer(text, buffer) == fits, "the shell buffer takes exactly the paths that fit");
    if (fits) {
        CHECK(std::memcmp(buffer, text.data(), text.size()) == 0, "the path is copied whole");
        for (size_t i = text.size(); i < kShellPathBuffer; ++i)
            CHECK(buffer[i] == '\0', "zero beyond the path");
    } else {
        CHECK(buffer[0] == 'z', "a refused path leaves the buffer untouched");
    }

    // Character walk: the last single-byte backslash ends the folder part; letters outside
    // double-byte characters are lowered.
    size_t folderEnd = 0;
    std::string lower;
    for (size_t pos = 0; pos < text.size();) {
        const bool pair = table.IsLead(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size();
        if (pair) {
            lower.append(text, pos, 2);
            pos += 2;
            continue;
        }
        const char ch = text[pos];
        if (ch == '\\')
            folderEnd = pos + 1;
        lower += ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch;
        ++pos;
    }
    const unsigned unique = data[0] * 0x01010101u;
    const std::string sibling = SiblingTempPath(text, unique, table);
    CHECK(sibling.compare(0, folderEnd, text, 0, folderEnd) == 0 && sibling.size() == folderEnd + 15,
          "the temporary copy lies in the target's own folder");

    bool module = false;
    for (const char* suffix : {".dll", ".ocx"}) {
        // A match must start on a character boundary of the lowered text.
        for (size_t pos = 0; pos + 4 <= lower.size() && !module;) {
            module = lower.compare(pos, 4, suffix) == 0;
            pos += table.IsLead(static_cast<unsigned char>(lower[pos])) && pos + 1 < lower.size() ? 2 : 1;
        }
    }
    CHECK(NamesModuleFile(text, table) == module, "module names are found on the lowered path");
    return 0;
}
