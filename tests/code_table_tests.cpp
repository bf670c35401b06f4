// The code table against the README's: every row of one is a row of the other, word for word,
// so a code added to the code and not to the documentation (or the other way) fails.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "engine/codes.h"

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

}  // namespace
