#include "tools/publish/report_stats.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "engine/codes.h"

namespace {

// The value of name in a query, "" when absent.
std::string Param(const std::string& query, const std::string& name)
{
    size_t at = 0;
    while (at < query.size()) {
        const size_t end = std::min(query.find('&', at), query.size());
        const std::string pair = query.substr(at, end - at);
        if (pair.compare(0, name.size() + 1, name + "=") == 0)
            return pair.substr(name.size() + 1);
        at = end + 1;
    }
    return std::string();
}

// "[10/Dec/2026:09:30:12 +0000]" as "2026-12-10"; empty when it does not read.
std::string LogDay(const std::string& line)
{
    const size_t open = line.find('[');
    if (open == std::string::npos || line.size() < open + 12)
        return std::string();
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::string month = line.substr(open + 4, 3);
    for (int m = 0; m < 12; ++m) {
        if (month != months[m])
            continue;
        char day[16];
        std::snprintf(day, sizeof day, "%s-%02d-%s", line.substr(open + 8, 4).c_str(), m + 1, line.substr(open + 1, 2).c_str());
        return day;
    }
    return std::string();
}

void Table(std::ostringstream& out, const char* title, const std::map<std::string, int>& counts)
{
    out << title << "\n";
    std::vector<std::pair<std::string, int>> rows(counts.begin(), counts.end());
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [name, count] : rows)
        out << "  " << count << "  " << (name.empty() ? "-" : name) << "\n";
}

}  // namespace

void CountReportLine(const std::string& line, const std::string& since, ReportStats* stats)
{
    const size_t get = line.find("\"GET ");
    if (get == std::string::npos)
        return;
    const size_t end = line.find(' ', get + 5);
    const std::string target = line.substr(get + 5, end == std::string::npos ? std::string::npos : end - get - 5);
    const size_t question = target.find('?');
    if (question == std::string::npos)
        return;
    const std::string query = target.substr(question + 1);
    const std::string outcome = Param(query, "outcome");
    if (Param(query, "id").empty() || outcome.empty())
        return;
    if (!since.empty() && LogDay(line) < since)
        return;
    ++stats->runs;
    ++stats->outcomes[outcome];
    ++stats->versions[Param(query, "v")];
    ++stats->windows[Param(query, "os")];
    const int code = std::atoi(Param(query, "code").c_str());
    if (code)
        ++stats->codes[code];
    const std::string codes = Param(query, "codes");
    for (size_t at = 0; at < codes.size();) {
        const size_t comma = std::min(codes.find(',', at), codes.size());
        const int each = std::atoi(codes.substr(at, comma - at).c_str());
        if (each && each != code)
            ++stats->codes[each];
        at = comma + 1;
    }
}

std::string ReportStatsText(const ReportStats& stats)
{
    std::ostringstream out;
    out << "runs reported: " << stats.runs << "\n";
    Table(out, "by outcome", stats.outcomes);
    Table(out, "by control version", stats.versions);
    Table(out, "by Windows version", stats.windows);
    out << "top error codes\n";
    std::vector<std::pair<int, int>> rows(stats.codes.begin(), stats.codes.end());
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    size_t count = 0;
    const CodeRow* table = AllCodes(&count);
    for (size_t i = 0; i < rows.size() && i < 10; ++i) {
        const char* meaning = "";
        for (size_t r = 0; r < count && !*meaning; ++r)
            if (std::strcmp(table[r].kind, "error") == 0 && table[r].code == rows[i].first)
                meaning = table[r].meaning;
        out << "  " << rows[i].second << "  " << rows[i].first << "  " << meaning << "\n";
    }
    return out.str();
}
