// The whole update list as a run reads it: the line reader over the input, macro
// expansion and the entry fields of every entry line, the folder value of every folder
// line. Each result is checked against a plain character walk of the same bytes.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/list_format.h"
#include "engine/path_macro_text.h"

#include "tests/fuzz/fuzz_check.h"

namespace {

// Character starts of text: a lead byte with a byte after it starts a pair.
struct Walk {
    std::vector<size_t> starts;
    std::vector<bool> pair;

    Walk(std::string_view text, const LeadByteTable& table) : pair(text.size(), false)
    {
        starts.reserve(text.size());
        for (size_t pos = 0; pos < text.size();) {
            starts.push_back(pos);
            pair[pos] = table.IsLead(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size();
            pos += pair[pos] ? 2 : 1;
        }
    }
};

bool IsBlank(char ch) { return kWhitespace.find(ch) != std::string_view::npos; }

// Positions of the single-byte characters equal to ch.
std::vector<size_t> SinglesOf(std::string_view text, const Walk& walk, char ch)
{
    std::vector<size_t> found;
    for (const size_t pos : walk.starts)
        if (!walk.pair[pos] && text[pos] == ch)
            found.push_back(pos);
    return found;
}

std::vector<size_t> SinglesOf(std::string_view text, char ch, const LeadByteTable& table)
{
    return SinglesOf(text, Walk(text, table), ch);
}

bool HasWordAtBoundary(std::string_view text, const Walk& walk, std::string_view word)
{
    // The first byte is compared alone first: most boundaries fail there, cheaply.
    for (const size_t pos : walk.starts)
        if (text[pos] == word[0] && text.compare(pos, word.size(), word) == 0)
            return true;
    return false;
}

// Trimmed of blanks on both sides: first byte not blank, last character not a blank.
bool IsTrimmed(std::string_view text, const LeadByteTable& table)
{
    if (text.empty())
        return true;
    if (IsBlank(text[0]))
        return false;
    const Walk walk(text, table);
    const size_t last = walk.starts.back();
    return walk.pair[last] || !IsBlank(text[last]);
}

// Both-sides trim of blanks as a reference: blanks are never lead bytes, so a blank
// byte at the start is a character of its own, and a trailing run of blank characters
// is found by the walk.
std::string_view ReferenceTrim(std::string_view text, const LeadByteTable& table)
{
    size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin]))
        ++begin;
    text.remove_prefix(begin);
    const Walk walk(text, table);
    size_t end = 0;
    for (const size_t pos : walk.starts)
        if (walk.pair[pos] || !IsBlank(text[pos]))
            end = pos + (walk.pair[pos] ? 2 : 1);
    return text.substr(0, end);
}

// The size field read by hand, for fields of digits, blanks, commas and one leading sign.
bool ReferenceSize(std::string_view field, int* value)
{
    long long number = 0;
    bool negative = false, sign = false, digits = false;
    for (const char ch : field) {
        if (ch == ' ' || ch == ',')
            continue;
        if ((ch == '-' || ch == '+') && !sign && !digits) {
            sign = true;
            negative = ch == '-';
            continue;
        }
        if (ch < '0' || ch > '9')
            return false;
        digits = true;
        number = std::min(number * 10 + (ch - '0'), static_cast<long long>(INT_MAX) + 1);
    }
    *value = static_cast<int>(negative ? -number : std::min<long long>(number, INT_MAX));
    return true;
}

void CheckSizeField(std::string_view field, const LeadByteTable& table)
{
    const int size = ParseFileSizeField(field, table);
    if (field.find('-') == std::string_view::npos)
        CHECK(size >= 0, "a size field without '-' is never negative");
    int expected = 0;
    if (ReferenceSize(field, &expected))
        CHECK(size == expected, "a signed number with blanks and commas is read with saturation");
}

void CheckTimeField(std::string_view field, const LeadByteTable& table)
{
    const std::string time = NormalizeFileTimeField(field, table);
    const Walk fieldWalk(field, table);
    const Walk timeWalk(time, table);
    size_t separators = 0;
    for (const char ch : {'-', '/', ':', ' '}) {
        separators += SinglesOf(field, fieldWalk, ch).size();
        CHECK(SinglesOf(time, timeWalk, ch).empty(), "the time field keeps no separator character");
    }
    CHECK(time.size() + separators == field.size(),
          "only the separator characters are taken out of the time field");
}

void CheckTargetPath(std::string_view path, const LeadByteTable& table)
{
    std::string folder = "stale", name = "stale";
    SplitTargetPath(path, &folder, &name, table);
    const std::vector<size_t> slashes = SinglesOf(path, '\\', table);
    if (slashes.empty()) {
        CHECK(folder.empty() && name == path, "a path without a backslash is all name");
        return;
    }
    CHECK(folder + "\\" + name == path, "folder, backslash and name make up the path");
    CHECK(folder.size() == slashes.back(), "the path splits at its last backslash character");
}

// Values free of '%' that are no part of a macro name, so that no expansion can make
// a new macro out of its neighbours; none starts or ends in a blank, so an expanded
// line stays trimmed.
PathMacroValues FixedValues()
{
    PathMacroValues values;
    values.value[kMacroWindows] = "C:\\WINDOWS";
    values.value[kMacroSystem] = "C:\\WINDOWS\\system32";
    values.value[kMacroProgramFiles] = "C:\\Program Files";
    values.value[kMacroAppPath] = "C:\\App";
    values.value[kMacroAxPath] = "C:\\WINDOWS\\Downloaded Program Files";
    return values;
}

std::string CheckExpansion(std::string_view text, const LeadByteTable& table)
{
    static const PathMacroValues values = FixedValues();
    const std::string expanded = ReplacePathMacros(text, values, table);
    const Walk textWalk(text, table);
    const Walk expandedWalk(expanded, table);
    bool anyMacro = false;
    for (const std::string_view macro : kPathMacroText) {
        anyMacro = anyMacro || HasWordAtBoundary(text, textWalk, macro);
        CHECK(!HasWordAtBoundary(expanded, expandedWalk, macro), "no macro is left after expansion");
    }
    if (!anyMacro)
        CHECK(expanded == text, "a text without macros is not changed");
    return expanded;
}

void CheckEntry(std::string_view line, const LeadByteTable& table)
{
    const EntryFields fields = SplitEntryLine(line, table);
    // The fields by hand: up to four pieces between single-byte '|' characters.
    const Walk walk(line, table);
    const std::vector<size_t> bars = SinglesOf(line, walk, '|');
    std::string_view parts[4];
    size_t count = 0;
    size_t start = 0;
    for (; count < 4; ++count) {
        const size_t end = count < bars.size() ? bars[count] : line.size();
        parts[count] = line.substr(start, end - start);
        if (count >= bars.size()) {
            ++count;
            break;
        }
        start = end + 1;
    }

    CHECK(fields.targetPath == parts[0], "the target path is the text before the first '|'");
    CHECK(fields.targetPath.empty() || !IsBlank(fields.targetPath[0]),
          "the target path starts where the trimmed line does");
    CHECK(fields.hasSeparator == !bars.empty(), "hasSeparator tells whether a '|' is there");
    if (!fields.hasSeparator) {
        CHECK(!fields.registerFlag && !fields.atFirst && !fields.run && !fields.runSilent,
              "a line without '|' sets no flag");
        CHECK(fields.version.empty() && fields.fileSize == -1 && fields.fileTime.empty(),
              "a line without '|' has only a target path");
    } else {
        CHECK(fields.version == ReferenceTrim(parts[1], table), "the version is field 2, trimmed");
        CHECK(IsTrimmed(fields.version, table), "the version has no blanks around it");
    }

    if (count < 3 || parts[2].empty()) {
        CHECK(fields.fileSize == -1, "a missing or empty size field leaves -1");
    } else {
        if (parts[2].find('-') == std::string_view::npos)
            CHECK(fields.fileSize >= 0, "a size field without '-' gives no negative size");
        int expected = 0;
        if (ReferenceSize(ReferenceTrim(parts[2], table), &expected))
            CHECK(fields.fileSize == expected, "a size of digits, blanks and commas is read");
    }
    CheckSizeField(parts[2], table);

    if (count < 4 || parts[3].empty()) {
        CHECK(fields.fileTime.empty(), "a missing or empty time field leaves no time");
    } else {
        const Walk timeWalk(fields.fileTime, table);
        for (const char ch : {'-', '/', ':', ' '})
            CHECK(SinglesOf(fields.fileTime, timeWalk, ch).empty(),
                  "the entry's time keeps no separator character");
        CHECK(fields.fileTime.size() <= parts[3].size(), "the time is never longer than its field");
        bool plain = true;
        for (const char ch : parts[3])
            plain = plain && !IsBlank(ch) && ch != '-' && ch != '/' && ch != ':';
        if (plain)
            CHECK(fields.fileTime == parts[3], "a time field without blanks or separators is kept");
    }
    CheckTimeField(parts[3], table);

    const bool sep = fields.hasSeparator;
    auto has = [&](std::string_view word) { return HasWordAtBoundary(line, walk, word); };
    CHECK(fields.registerFlag == (sep && (has("|REG") || has("|UNREG"))),
          "the register flag follows the words |REG and |UNREG");
    CHECK(fields.atFirst == (sep && has("|ATFIRST")), "the at-first flag follows |ATFIRST");
    CHECK(fields.runSilent == (sep && has("RUNSILENT")), "the run-silent flag follows RUNSILENT");
    CHECK(fields.run == (sep && !fields.runSilent && has("RUN")),
          "the run flag follows RUN unless the entry runs silently");
    CHECK(!(fields.run && fields.runSilent), "run and run silently exclude each other");

    CheckTargetPath(fields.targetPath, table);
}

void CheckFolder(std::string_view line, const LeadByteTable& table)
{
    const std::string_view value = FolderLineValue(line, table);
    const std::vector<size_t> equals = SinglesOf(line, '=', table);
    if (equals.empty())
        CHECK(value == line, "a folder line without '=' is all value");
    else
        CHECK(value == line.substr(equals[0] + 1), "a folder value follows the first '='");
    CheckTargetPath(value, table);
    // Exercised for the sanitizers; their results are plain concatenations.
    (void)ProgramFilesOnWindowsDrive(value);
    (void)DownloadedProgramFiles(value);
}

void CheckList(std::string_view text, const LeadByteTable& table)
{
    size_t lineFeeds = 0;
    for (const char ch : text)
        lineFeeds += ch == '\n';
    const size_t headerEnd[] = {
        text.find(kFolderSectionHeader) == std::string_view::npos
            ? std::string_view::npos
            : text.find(kFolderSectionHeader) + kFolderSectionHeader.size(),
        text.find(kFileSectionHeader) == std::string_view::npos
            ? std::string_view::npos
            : text.find(kFileSectionHeader) + kFileSectionHeader.size()};
    // Spaces are cut from the end of the whole text before it is read.
    std::string_view body = text;
    while (!body.empty() && body.back() == ' ')
        body.remove_suffix(1);

    ListLineReader reader(text, table);
    ListSection section = ListSection::None;
    std::string_view line;
    size_t lines = 0;
    size_t cursor = 0;
    bool tookAppendedReturn = false;
    while (reader.Next(&section, &line)) {
        CHECK(!tookAppendedReturn, "only the last line can take the appended carriage return");
        ++lines;
        CHECK(lines <= lineFeeds + 1, "the reader hands out at most one line per line feed");
        CHECK(section == ListSection::Folders || section == ListSection::Files,
              "every line is in the folder or the file section");
        const size_t header = headerEnd[section == ListSection::Folders ? 0 : 1];
        CHECK(header != std::string_view::npos, "a section is entered only through its header");
        CHECK(IsTrimmed(line, table), "lines are handed out trimmed");
        CHECK(line.empty() || line[0] != '#', "comment lines are not handed out");
        CHECK(line != kFolderSectionHeader && line != kFileSectionHeader,
              "header lines are not handed out");
        CHECK(SinglesOf(line, '\n', table).empty(), "a line holds no line feed character");

        // Lines come out in order, each after its section's first header. A text that
        // ends in a lone lead byte takes the CR of the appended line end as its trail.
        const size_t from = std::max(cursor, header);
        if (line.empty()) {
            // Blank lines of two bytes or more are handed out (the caller records them);
            // those of one byte end the list, bare line feeds are skipped.
            bool blankRun = false;
            for (size_t i = from; i < body.size() && !blankRun; ++i)
                blankRun = IsBlank(body[i]) && body[i] != '\n' &&
                           (i + 1 == body.size() || (IsBlank(body[i + 1]) && body[i + 1] != '\n'));
            CHECK(blankRun, "an empty line comes only from a line of two or more blank bytes");
        }
        size_t at = text.find(line, from);
        if (at == std::string_view::npos) {
            CHECK(!line.empty() && line.back() == '\r' &&
                      body.size() >= line.size() - 1 &&
                      body.substr(body.size() - (line.size() - 1)) == line.substr(0, line.size() - 1),
                  "every line is taken from the text, in order");
            at = body.size() - (line.size() - 1);
            tookAppendedReturn = true;
        }
        cursor = at + line.size();

        if (section == ListSection::Files)
            CheckEntry(CheckExpansion(line, table), table);
        else
            CheckFolder(line, table);
    }
    CHECK(!reader.Next(&section, &line), "an ended list stays ended");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckList(text, LeadByteTable::Ansi());
    // Lead bytes of a narrower code page, so that other bytes split pairs.
    static const LeadByteTable narrow = LeadByteTable::FromRange(0x81, 0x9F);
    CheckList(text, narrow);
    CheckSizeField(text.substr(0, 64), LeadByteTable::Ansi());
    CheckTimeField(text.substr(0, 256), LeadByteTable::Ansi());
    return 0;
}
