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
    const std::string digits = MbRemove(MbRemove(field, ' ', nullptr, table), ',', nullptr, table);
    size_t pos = 0;
    while (pos < digits.size() && kWhitespace.find(digits[pos]) != std::string_view::npos)
        ++pos;
    bool negative = false;
    if (pos < digits.size() && (digits[pos] == '+' || digits[pos] == '-'))
        negative = digits[pos++] == '-';
    long long value = 0;
    for (; pos < digits.size() && digits[pos] >= '0' && digits[pos] <= '9'; ++pos) {
        value = value * 10 + (digits[pos] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;  // saturated; more digits change nothing
    }
    if (negative)
        return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::string NormalizeFileTimeField(std::string_view field, const LeadByteTable& table)
{
    std::string time(field);
    for (const char separator : {'-', '/', ':', ' '})
        time = MbRemove(time, separator, nullptr, table);
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
    return fields;
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
