// The code table against the README's: every row of one is a row of the other, word for word,
// so a code added to the code and not to the documentation (or the other way) fails.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "engine/codes.h"
#include "engine/item_states.h"
#include "engine/run_log_text.h"
#include "engine/run_report.h"

namespace {

std::string RowText(const CodeRow& row)
{
    std::ostringstream line;
    const std::string text = *row.text ? row.text : row.kind[0] == 'e' ? "(the system's own text)" : "-";
    line << "| " << row.kind << " | " << row.code << " | `" << row.name << "` | " << text << " | " << row.meaning
         << " | " << row.action << " |";
    return line.str();
}

TEST(CodeTable, TheReadmeHoldsExactlyTheTable)
{
    size_t count = 0;
    const CodeRow* rows = AllCodes(&count);
    std::set<std::string> table, names;
    for (size_t i = 0; i < count; ++i) {
        table.insert(RowText(rows[i]));
        EXPECT_TRUE(names.insert(rows[i].name).second) << "one row per name: " << rows[i].name;
    }
    std::ifstream readme(VEXA_README);
    ASSERT_TRUE(readme) << VEXA_README;
    std::set<std::string> documented;
    std::string line;
    for (bool inTable = false; std::getline(readme, line);) {
        if (line.rfind("| kind | code |", 0) == 0) {
            inTable = true;
            continue;
        }
        if (inTable && line.rfind("|", 0) != 0)
            inTable = false;
        if (inTable && line.rfind("|---", 0) != 0)
            documented.insert(line);
    }
    for (const std::string& row : table)
        EXPECT_TRUE(documented.count(row)) << "missing from the README:\n" << row;
    for (const std::string& row : documented)
        EXPECT_TRUE(table.count(row)) << "in the README, not in the code:\n" << row;
    if (getenv("VEXA_PRINT_CODES")) {
        for (size_t i = 0; i < count; ++i)
            std::printf("%s\n", RowText(rows[i]).c_str());
    }
}

TEST(CodeTable, ErrorRowsFollowTheirNames)
{
    struct Case {
        RunError error;
        int code;
        const char* name;
    };
    const Case cases[] = {
        {RunError::LocalFile, 10, "LocalFile"},
        {RunError::ListExpired, 48, "ListExpired"},
        {RunError::RegistrationFailed, 63, "RegistrationFailed"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorRow(c.error).code, c.code) << c.name;
        EXPECT_STREQ(ErrorRow(c.error).name, c.name);
    }
}

// The page's object: every member in order, texts escaped, times in ISO form, one object per
// file; Korean bytes pass as they are (the control hands the page the Unicode of the whole).
TEST(RunReport, JsonCarriesEveryMemberEscaped)
{
    RunReport report;
    report.outcome = "failed";
    report.code = 11;
    report.meaning = "a \"quoted\" \\ meaning\n";
    report.text = "\xbc\xad\xb9\xf6";  // 서버 in code page 949
    report.identity = "VexaPay";
    report.version = "1.2.3.4";
    report.listSigned = "20261201093000";
    report.listExpires = "bad";
    report.helperExit = 6;
    report.files = {{"C:\\a.dll", FileDecisionOf(kUpdateFile, false), kResultDownloadFailed, 11},
                    {"C:\\b.dat", FileDecisionOf(kNoUpdate, true), kResultNothingDone, 0}};
    EXPECT_EQ(RunReportJson(report),
              "{\"outcome\":\"failed\",\"code\":11,\"meaning\":\"a \\\"quoted\\\" \\\\ meaning\\u000a\","
              "\"text\":\"\xbc\xad\xb9\xf6\",\"identity\":\"VexaPay\",\"version\":\"1.2.3.4\","
              "\"listSigned\":\"2026-12-01T09:30:00Z\",\"listExpires\":\"\",\"helperExit\":6,\"files\":["
              "{\"path\":\"C:\\\\a.dll\",\"decision\":\"update\",\"result\":\"download-failed\",\"code\":11},"
              "{\"path\":\"C:\\\\b.dat\",\"decision\":\"skipped\",\"result\":\"nothing-done\",\"code\":0}]}");
    EXPECT_EQ(FileDecisionOf(kInstalledNewer, false), kDecisionNewerInstalled);
    EXPECT_EQ(FileDecisionOf(kNoUpdate, false), kDecisionCurrent);
}

// The run log's lines: a UTC time, the step, its code and a one-line detail; a URL keeps only
// its host and path.
TEST(RunLog, LinesAndUrls)
{
    const LogTime t = {2026, 12, 1, 9, 5, 7};
    EXPECT_EQ(RunLogLine(t, "list", 51, "no list\r\n"), "2026-12-01T09:05:07Z list 51 no list\n");
    EXPECT_EQ(RunLogLine(t, "start", 0, ""), "2026-12-01T09:05:07Z start 0\n");
    EXPECT_EQ(RunLogLine(t, "run", 0, "a\nforged 0 line"), "2026-12-01T09:05:07Z run 0 a forged 0 line\n");
    const std::string korean = "\xec\x84\x9c";  // one three-byte character
    const std::string cut = RunLogLine(t, "x", 1, std::string(899, 'a') + korean);
    EXPECT_EQ(cut, "2026-12-01T09:05:07Z x 1 " + std::string(899, 'a') + "\n") << "cut before a character, never in it";

    struct Case {
        const char* url;
        const char* logged;
    };
    const Case cases[] = {
        {"https://pay.example.com/update/list.txt?session=secret#x", "pay.example.com/update/list.txt"},
        {"http://user:pw@127.0.0.1:8080/a/b.dll", "127.0.0.1/a/b.dll"},
        {"http://[::1]:80/a", "[::1]/a"},
        {"http://host?a=1", "host"},
        {"pay.example.com/x?y", "pay.example.com/x"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoggedUrl(c.url), c.logged) << c.url;
    EXPECT_EQ(OlderLogPath("C:\\d.x\\VexaPay.log"), "C:\\d.x\\VexaPay.old.log");
    EXPECT_EQ(OlderLogPath("C:\\d.x\\log"), "C:\\d.x\\log.old");
}

}  // namespace
