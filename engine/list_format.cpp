#include "engine/list_format.h"

#include <climits>

namespace {

std::string_view Trimmed(std::string_view text, const LeadByteTable& table)
{
    return MbTrim(text, kWhitespace, true, true, table);
}

bool Contains(std::string_view text, std::string_view word, const LeadByteTable& table)
{
    return MbFind(text, word, 0, table) != kNotFound;
}

}  // namespace

ListLineReader::ListLineReader(std::string_view listText, const LeadByteTable& table)
    : m_table(table)
{
    // Only spaces are cut from the whole text; the appended line end makes the last
    // line complete.
    m_text.assign(MbTrim(listText, " ", true, true, table));
    m_text.append("\r\n");
}

bool ListLineReader::Next(ListSection* section, std::string_view* line)
{
    while (!m_ended) {
        const std::string_view text(m_text);
        const size_t lineFeed = MbFind(text, "\n", m_pos, m_table);
        if (lineFeed == kNotFound)
            break;
        const std::string_view raw = text.substr(m_pos, lineFeed - m_pos);
        m_pos = lineFeed + 1;
        if (raw.empty())
            continue;
        const std::string_view trimmed = Trimmed(raw, m_table);
        if (!trimmed.empty() && trimmed[0] == '#')
            continue;
        if (raw.size() == 1)
            break;
        if (trimmed == kFolderSectionHeader) {
            m_section = ListSection::Folders;
            continue;
        }
        if (trimmed == kFileSectionHeader) {
            m_section = ListSection::Files;
            continue;
        }
        if (m_section == ListSection::None)
            continue;
        *section = m_section;
        *line = trimmed;
        return true;
    }
    m_ended = true;
    return false;
}

std::string_view FolderLineValue(std::string_view line, const LeadByteTable& table)
{
    const size_t equals = MbFind(line, "=", 0, table);
    return equals == kNotFound ? line : line.substr(equals + 1);
}

int ParseFileSizeField(std::string_view field, const LeadByteTable& table)
{
    // Blanks and ',' do not count; of the rest, leading whitespace, a sign and the digits
    // that follow make the number.
    enum { kLeading, kDigits } stage = kLeading;
    bool negative = false;
    long long value = 0;
    for (size_t pos = 0; pos < field.size();) {
        const size_t length = MbCharLength(field, pos, table);
        const char ch = field[pos];
        pos += length;
        if (length == 1 && (ch == ' ' || ch == ','))
            continue;
        if (stage == kLeading) {
            if (length == 1 && kWhitespace.find(ch) != std::string_view::npos)
                continue;
            stage = kDigits;
            if (length == 1 && (ch == '+' || ch == '-')) {
                negative = ch == '-';
                continue;
            }
        }
        if (length != 1 || ch < '0' || ch > '9')
            break;
        value = value * 10 + (ch - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;  // saturated; more digits change nothing
    }
    if (negative)
        return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::string NormalizeFileTimeField(std::string_view field, const LeadByteTable& table)
{
    std::string time;  // usually short enough to need no allocation
    for (size_t pos = 0; pos < field.size();) {
        const size_t length = MbCharLength(field, pos, table);
        const char ch = field[pos];
        if (length != 1 || (ch != '-' && ch != '/' && ch != ':' && ch != ' '))
            time.append(field.substr(pos, length));
        pos += length;
    }
    return time;
}

EntryFields SplitEntryLine(std::string_view line, const LeadByteTable& table)
{
    EntryFields fields;
    // Up to four fields; whatever follows a fourth '|' is not a field.
    std::string_view parts[4];
    int count = 0;
    size_t start = 0;
    for (; count < 4; ++count) {
        const size_t bar = MbFind(line, "|", start, table);
        parts[count] = line.substr(start, bar == kNotFound ? std::string_view::npos : bar - start);
        if (bar == kNotFound) {
            ++count;
            break;
        }
        start = bar + 1;
    }
    fields.targetPath.assign(parts[0]);
    fields.hasSeparator = count > 1;
    if (!fields.hasSeparator)
        return fields;
    fields.version.assign(Trimmed(parts[1], table));
    if (count > 2 && !parts[2].empty())
        fields.fileSize = ParseFileSizeField(Trimmed(parts[2], table), table);
    if (count > 3 && !parts[3].empty())
        fields.fileTime = NormalizeFileTimeField(Trimmed(parts[3], table), table);

    fields.registerFlag = Contains(line, "|REG", table) || Contains(line, "|UNREG", table);
    fields.atFirst = Contains(line, "|ATFIRST", table);
    fields.runSilent = Contains(line, "RUNSILENT", table);
    fields.run = !fields.runSilent && Contains(line, "RUN", table);
    fields.sha256 = Sha256Word(line, table);
    return fields;
}

std::string Sha256Word(std::string_view line, const LeadByteTable& table)
{
    constexpr std::string_view word = "|SHA256=";
    const size_t at = MbFind(line, word, 0, table);
    if (at == kNotFound)
        return std::string();
    const size_t start = at + word.size();
    if (line.size() - start < 64)
        return std::string();
    std::string digest;
    for (size_t i = start; i < start + 64; ++i) {
        const char c = line[i];
        if (c >= '0' && c <= '9')
            digest += c;
        else if (c >= 'a' && c <= 'f')
            digest += c;
        else if (c >= 'A' && c <= 'F')
            digest += static_cast<char>(c - 'A' + 'a');
        else
            return std::string();
    }
    const size_t end = start + 64;
    if (end < line.size() && line[end] != '|' && line[end] != ' ' && line[end] != '\t')
        return std::string();
    return digest;
}

void SplitTargetPath(std::string_view path, std::string* folder, std::string* name,
                     const LeadByteTable& table)
{
    const size_t slash = MbReverseFind(path, '\\', table);
    if (slash == kNotFound) {
        folder->clear();
        name->assign(path);
        return;
    }
    folder->assign(path.substr(0, slash));
    name->assign(path.substr(slash + 1));
}
