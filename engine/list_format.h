// The update list as bytes: which lines count, the sections, the fields and flag words
// of an entry, and how a target path splits. Plain functions over byte strings in the
// ANSI code page, free of Windows headers so that they also build on the host.
#pragma once

#include <string>
#include <string_view>

#include "framework/mbcs.h"

constexpr std::string_view kFolderSectionHeader = "[FILE PATH]";
constexpr std::string_view kFileSectionHeader = "[UPDATE FILES]";

enum class ListSection { None, Folders, Files };

// Walks the lines of a list in order and hands out the folder and entry lines, trimmed.
// Comments, blank lines, headers and lines outside a section are consumed here; a line
// of a single byte ends the list.
class ListLineReader {
public:
    explicit ListLineReader(std::string_view listText,
                            const LeadByteTable& table = LeadByteTable::Ansi());

    // False once the list has ended; otherwise the next line and the section it is in.
    bool Next(ListSection* section, std::string_view* line);

private:
    std::string m_text;
    size_t m_pos = 0;
    ListSection m_section = ListSection::None;
    bool m_ended = false;
    const LeadByteTable& m_table;
};

// The value of a folder line: everything after the first '=', or the whole line.
std::string_view FolderLineValue(std::string_view line,
                                 const LeadByteTable& table = LeadByteTable::Ansi());

// One entry line, already macro-expanded, taken apart.
struct EntryFields {
    std::string targetPath;
    std::string version;
    int fileSize = -1;
    std::string fileTime;
    bool hasSeparator = false;
    bool registerFlag = false;
    bool atFirst = false;
    bool run = false;
    bool runSilent = false;
    // The digest a "|SHA256=" word gives, as 64 lower-case hex digits; empty without a
    // well-formed one.
    std::string sha256;
};

// The value of the first "|SHA256=" word: exactly 64 hex digits, ended by the line, a '|'
// or a blank; lower-cased. Empty when the word is absent or malformed.
std::string Sha256Word(std::string_view line, const LeadByteTable& table = LeadByteTable::Ansi());

EntryFields SplitEntryLine(std::string_view line,
                           const LeadByteTable& table = LeadByteTable::Ansi());

// The size field: blanks and ',' removed, then the leading decimal number (0 when there
// is none); values beyond the int range saturate.
int ParseFileSizeField(std::string_view field,
                       const LeadByteTable& table = LeadByteTable::Ansi());

// The time field with every '-', '/', ':' and blank removed.
std::string NormalizeFileTimeField(std::string_view field,
                                   const LeadByteTable& table = LeadByteTable::Ansi());

// Splits at the last backslash: folder before it (empty without one), name after it.
void SplitTargetPath(std::string_view path, std::string* folder, std::string* name,
                     const LeadByteTable& table = LeadByteTable::Ansi());
