// Text rules of the installation: the listed modification time, the names that are
// module files, the temporary sibling of a target and the shell's path buffer. Free of
// Windows headers, so that they also build (and are fuzzed) on the host.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "framework/mbcs.h"

struct ListTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Reads "yyyymmddhhmmss" from the first 14 characters of text (anything after them is
// not read). False when text is shorter, a group holds a non-digit, or the groups do not
// form a real date and time (years 1601 to 30827, as file times can hold).
bool ParseListTime(std::string_view text, ListTime* time);

// True when the lower-cased path contains ".dll" or ".ocx" anywhere: such a file should
// have had a registration entry point.
bool NamesModuleFile(std::string_view path, const LeadByteTable& table = LeadByteTable::Ansi());

// A path in the target's own folder for the complete new copy before it takes the
// target's place: the folder part of target (up to its last backslash, none for a bare
// name) followed by "~vx" and eight hexadecimal digits of unique, and ".tmp".
std::string SiblingTempPath(std::string_view target, unsigned unique,
                            const LeadByteTable& table = LeadByteTable::Ansi());

// The buffer of the shell's file operation: the path, then zero bytes to its end, so the
// path ends in the two zero bytes the operation needs. False (buffer untouched) when the
// path does not leave room for them: a cut path would name another folder.
constexpr size_t kShellPathBuffer = 260;
bool FillShellPathBuffer(std::string_view path, char (&buffer)[kShellPathBuffer]);
