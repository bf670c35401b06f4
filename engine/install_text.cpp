#include "engine/install_text.h"

#include <cstring>

namespace {

constexpr size_t kTimeDigits = 14;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

bool ParseListTime(std::string_view text, ListTime* time)
{
    if (text.size() < kTimeDigits)
        return false;
    int value[kTimeDigits];
    for (size_t i = 0; i < kTimeDigits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value[i] = text[i] - '0';
    }
    ListTime parsed;
    parsed.year = value[0] * 1000 + value[1] * 100 + value[2] * 10 + value[3];
    parsed.month = value[4] * 10 + value[5];
    parsed.day = value[6] * 10 + value[7];
    parsed.hour = value[8] * 10 + value[9];
    parsed.minute = value[10] * 10 + value[11];
    parsed.second = value[12] * 10 + value[13];
    if (parsed.year < 1601 || parsed.month < 1 || parsed.month > 12)
        return false;
    if (parsed.day < 1 || parsed.day > DaysInMonth(parsed.year, parsed.month))
        return false;
    if (parsed.hour > 23 || parsed.minute > 59 || parsed.second > 59)
        return false;
    *time = parsed;
    return true;
}

bool NamesModuleFile(std::string_view path, const LeadByteTable& table)
{
    const std::string lower = MbToLowerAscii(path, table);
    return MbFind(lower, ".dll", 0, table) != kNotFound || MbFind(lower, ".ocx", 0, table) != kNotFound;
}

std::string SiblingTempPath(std::string_view target, unsigned unique, const LeadByteTable& table)
{
    const size_t slash = MbReverseFind(target, '\\', table);
    std::string path(slash == kNotFound ? std::string_view() : target.substr(0, slash + 1));
    static const char kHex[] = "0123456789ABCDEF";
    path += "~vx";
    for (int shift = 28; shift >= 0; shift -= 4)
        path += kHex[(unique >> shift) & 0xF];
    path += ".tmp";
    return path;
}

bool FillShellPathBuffer(std::string_view path, char (&buffer)[kShellPathBuffer])
{
    if (path.size() + 2 > kShellPathBuffer || path.find('\0') != std::string_view::npos)
        return false;
    std::memset(buffer, 0, kShellPathBuffer);
    std::memcpy(buffer, path.data(), path.size());
    return true;
}
