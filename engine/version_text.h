// The version check's text rules: version numbers as the list and the version resource
// give them, which file names carry a version resource, and how a list time stamp is
// matched. Plain functions over byte strings in the ANSI code page, free of Windows
// headers so that they also build (and are fuzzed) on the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/mbcs.h"

// Only this much of a version text counts, and of each of its components: the sizes of
// the fixed buffers the rules were first written with. Longer texts are cut, not refused.
constexpr size_t kVersionTextLimit = 99;
constexpr size_t kVersionComponentLimit = 15;

// Reads up to count components separated by ',' or '.' into values. A component is the
// value of its leading decimal digits (after blanks and a sign, as atoi reads them),
// modulo 65536; an empty text or a text that ends in a separator gives a last component
// of 0. Components the text does not supply keep the caller's values.
void ParseVersionText(std::string_view text, uint16_t* values, int count,
                      const LeadByteTable& table = LeadByteTable::Ansi());

// True when first is a higher four-part version than second; missing parts are 0.
bool CompareVersionTexts(std::string_view first, std::string_view second,
                         const LeadByteTable& table = LeadByteTable::Ansi());

// The form both sides are compared in: every ' ' removed, every ',' made a '.'.
std::string NormalizeVersionText(std::string_view text,
                                 const LeadByteTable& table = LeadByteTable::Ansi());

// True for names ending in .dll, .ocx or .exe (any letter case, trailing blanks aside):
// the files whose version resource is compared.
bool HasVersionedExtension(std::string_view fileName,
                           const LeadByteTable& table = LeadByteTable::Ansi());

// The list's time stamp against the file's local modification time as
// "YYYYMMDDhhmmss": equal but for the last two bytes of each (the seconds), ignoring
// letter case. An empty stamp never matches.
bool FileTimeStampMatches(std::string_view fileTimeText, std::string_view stamp,
                          const LeadByteTable& table = LeadByteTable::Ansi());
