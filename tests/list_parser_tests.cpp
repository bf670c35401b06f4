// The update list parser and the install-folder macros, on a job record without a window.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <climits>
#include <string>

#include "engine/list_format.h"
#include "engine/path_macro_text.h"
#include "ui/progress_dialog.h"

namespace {

std::string WindowsFolder()
{
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, sizeof(path));
    return path;
}

std::string SystemFolder()
{
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, sizeof(path));
    return path;
}

std::string ProgramFilesFolder()
{
    char path[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, path) != S_OK)
        return ProgramFilesOnWindowsDrive(WindowsFolder());
    return path;
}

class ListParser : public testing::Test {
protected:
    ListParser()
    {
        job.m_moduleFolder = job.GetModuleFolder();
        job.m_dataUrl = "http://data.example/files";
        job.m_progress = 5;
    }

    // Parses text as a run would, after the previous run's items were released.
    BOOL Parse(const std::string& text)
    {
        job.ReleaseItems();
        job.m_listText = text;
        return job.ParseUpdateList();
    }

    const UpdateItem& Item(int index) const { return *job.m_items.GetAt(index); }
    int Count() const { return static_cast<int>(job.m_items.GetCount()); }
    std::string Module() const { return job.m_moduleFolder.Str(); }

    UpdateProgressDialog job;
};

struct ExpectedItem {
    std::string targetPath, targetDir, fileName, version;
    int size;
    std::string time;
    int reg, atFirst, run, runSilent;
    std::string stagePath, url;
};

void ExpectItem(const UpdateItem& item, const ExpectedItem& want)
{
    SCOPED_TRACE(want.fileName);
    EXPECT_EQ(item.m_strTargetPath.Str(), want.targetPath) << "target path";
    EXPECT_EQ(item.m_strTargetDir.Str(), want.targetDir) << "target folder";
    EXPECT_EQ(item.m_strFileName.Str(), want.fileName) << "file name";
    EXPECT_EQ(item.m_strVersion.Str(), want.version) << "version";
    EXPECT_EQ(item.m_nFileSize, want.size) << "size";
    EXPECT_EQ(item.m_strFileTime.Str(), want.time) << "time";
    EXPECT_EQ(item.m_bRegister, want.reg) << "register flag";
    EXPECT_EQ(item.m_bAtFirst, want.atFirst) << "at-first flag";
    EXPECT_EQ(item.m_bRun, want.run) << "run flag";
    EXPECT_EQ(item.m_bRunSilent, want.runSilent) << "run-silent flag";
    EXPECT_EQ(item.m_strStagePath.Str(), want.stagePath) << "staging path";
    EXPECT_EQ(item.m_strDownloadURL.Str(), want.url) << "download URL";
    EXPECT_EQ(item.m_nUpdateState, kUpdateFile) << "every parsed item is to be updated";
}

TEST_F(ListParser, ExampleListGivesFoldersAndThreeItems)
{
    const std::string list =
        "[FILE PATH]\n"
        "Folder=%Program Files%\\Modules\n"
        "[UPDATE FILES]\n"
        "#main component\n"
        "%App Path%\\core.dll|1,0,3,2|53,248|2008-03-14 10:22:31|REG\n"
        "\n"
        "%System%\\agent.exe|2.1.0.3|||RUNSILENT|ATFIRST\n"
        "%App Path%\\readme.txt\n";
    ASSERT_TRUE(Parse(list)) << "the example parses";
    const std::string install = ProgramFilesFolder() + "\\Modules";
    const std::string stage = install + "\\Update\\";
    const std::string data = "http://data.example/files/";
    EXPECT_EQ(job.m_installFolder.Str(), install) << "install folder from the folder line";
    EXPECT_EQ(job.m_stagingFolder.Str(), install + "\\Update") << "staging folder";
    ASSERT_EQ(Count(), 3) << "one item per entry line";
    ExpectItem(Item(0), {install + "\\core.dll", install, "core.dll", "1,0,3,2", 53248,
                         "20080314102231", 1, 0, 0, 0, stage + "core.dll", data + "core.dll"});
    ExpectItem(Item(1), {SystemFolder() + "\\agent.exe", SystemFolder(), "agent.exe", "2.1.0.3", -1,
                         "", 0, 1, 0, 1, stage + "agent.exe", data + "agent.exe"});
    ExpectItem(Item(2), {install + "\\readme.txt", install, "readme.txt", "", -1, "", 0, 0, 0, 0,
                         stage + "readme.txt", data + "readme.txt"});
    EXPECT_EQ(job.m_lastErrorCode, 0) << "no error recorded";
}

TEST_F(ListParser, EmptyAndBlankTexts)
{
    job.m_lastErrorCode = 7;
    EXPECT_FALSE(Parse("")) << "an empty list fails the step";
    EXPECT_EQ(job.m_lastErrorCode, 46) << "empty list code";
    EXPECT_STREQ(job.m_lastErrorText, "업데이트 서버로부터 자료가 비어있습니다.") << "empty list text";

    EXPECT_TRUE(Parse("     ")) << "a text of spaces is not empty";
    EXPECT_EQ(Count(), 0) << "and holds no items";
    EXPECT_EQ(job.m_installFolder.Str(), Module()) << "install folder falls back to the module's";
    EXPECT_EQ(job.m_stagingFolder.Str(), Module() + "\\Update") << "staging folder below it";
    EXPECT_EQ(job.m_lastErrorCode, 0) << "a successful parse starts with a cleared error";
}

TEST_F(ListParser, LineKindsAndListEnd)
{
    // Bare line feeds: blank lines are skipped, "#" alone is a comment.
    EXPECT_TRUE(Parse("[UPDATE FILES]\na.dll\n\n#\nb.dll\nx\nc.dll"));
    ASSERT_EQ(Count(), 2) << "the single-byte line x ends the list";
    EXPECT_STREQ(Item(1).m_strFileName, "b.dll") << "the entry after the comment is read";

    // CR LF: the first blank line is a lone carriage return and ends the list.
    EXPECT_TRUE(Parse("[UPDATE FILES]\r\na.dll\r\n\r\nb.dll\r\n"));
    ASSERT_EQ(Count(), 1) << "CR LF blank line ends the list";
    EXPECT_STREQ(Item(0).m_strFileName, "a.dll") << "CR is trimmed off the entry";

    EXPECT_TRUE(Parse("[UPDATE FILES]\r\na.dll\r\nx\r\nb.dll"));
    ASSERT_EQ(Count(), 3) << "with its carriage return, x is two bytes and an entry";
    EXPECT_STREQ(Item(1).m_strTargetPath, "x") << "trimmed like any entry";

    // Lines before the first header and headers in another letter case.
    EXPECT_TRUE(Parse("z.dll\n[update files]\n[UPDATE FILES]\n[UPDATE  FILES]\n"));
    ASSERT_EQ(Count(), 1) << "only the header-like line after the real header is an entry";
    EXPECT_STREQ(Item(0).m_strTargetPath, "[UPDATE  FILES]") << "an inner blank breaks the header";
}

TEST_F(ListParser, FolderLines)
{
    EXPECT_TRUE(Parse("[FILE PATH]\n[file path]\n"));
    EXPECT_STREQ(job.m_installFolder, "[file path]") << "a lower-case header without '=' is a folder";

    EXPECT_TRUE(Parse("[FILE PATH]\nA=C:\\one\n[UPDATE FILES]\nx.dll\n[FILE PATH]\nB= C:\\two=2\n"
                      "[UPDATE FILES]\ny.dll\n"));
    EXPECT_STREQ(job.m_installFolder, " C:\\two=2") << "the last folder line wins, kept after the first '='";
    EXPECT_STREQ(job.m_stagingFolder, " C:\\two=2\\Update") << "staging follows the install folder";
    ASSERT_EQ(Count(), 2);
    EXPECT_STREQ(Item(0).m_strStagePath, "C:\\one\\Update\\x.dll") << "entries use the folder then in force";
    EXPECT_STREQ(Item(1).m_strStagePath, " C:\\two=2\\Update\\y.dll") << "and the new one after it";
}

TEST_F(ListParser, FoldersCarryFromRunToRun)
{
    EXPECT_TRUE(Parse("[UPDATE FILES]\na.dll\n"));
    EXPECT_EQ(Item(0).m_strStagePath.Str(), Module() + "\\Update\\a.dll") << "first run: the module folder";

    EXPECT_TRUE(Parse("[FILE PATH]\n%App Path%\\Sub\n"));
    EXPECT_EQ(job.m_installFolder.Str(), Module() + "\\Sub") << "App Path is the module folder at first";
    EXPECT_TRUE(Parse("[FILE PATH]\n%App Path%\\Sub\n%App Path%\\Sub\n"));
    EXPECT_EQ(job.m_installFolder.Str(), Module() + "\\Sub\\Sub\\Sub")
        << "each line nests again: App Path follows the install folder, across runs too";

    EXPECT_TRUE(Parse("[UPDATE FILES]\n%App Path%\\b.dll\n"));
    EXPECT_EQ(Item(0).m_strTargetPath.Str(), Module() + "\\Sub\\Sub\\Sub\\b.dll")
        << "a list without folder lines keeps the previous run's folder";
    EXPECT_EQ(job.m_stagingFolder.Str(), Module() + "\\Sub\\Sub\\Sub\\Update") << "and its staging folder";
}

TEST_F(ListParser, EntryFields)
{
    EXPECT_TRUE(Parse("[UPDATE FILES]\n"
                      "a.dll|1.0|abc|\n"
                      "b.dll|1.0||\n"
                      "c.dll| 2.0 \n"
                      "d.dll\n"
                      "e.dll|1|1 234 567|2008/03/14-10:22:31|t|extra|REG\n"
                      "f.dll|1|99999999999|\n"
                      "g.dll|1|-12|\n"
                      "h.dll|1|RUNSILENT\n"
                      "C:\\dir\\\n"
                      "i.dll|1|  |  \n"));
    ASSERT_EQ(Count(), 10);
    EXPECT_EQ(Item(0).m_nFileSize, 0) << "a size field without digits gives 0";
    EXPECT_EQ(Item(1).m_nFileSize, -1) << "an empty size field leaves -1";
    EXPECT_STREQ(Item(1).m_strFileTime, "") << "an empty time field stays empty";
    EXPECT_STREQ(Item(2).m_strVersion, "2.0") << "the version is trimmed";
    EXPECT_EQ(Item(2).m_nFileSize, -1) << "no size without its field";
    EXPECT_EQ(Item(2).m_bRegister + Item(2).m_bRun + Item(2).m_bRunSilent + Item(2).m_bAtFirst, 0)
        << "path and version only: no flags";
    EXPECT_STREQ(Item(3).m_strVersion, "") << "a target path alone has no version";
    EXPECT_EQ(Item(4).m_nFileSize, 1234567) << "blanks inside the size are removed";
    EXPECT_STREQ(Item(4).m_strFileTime, "20080314102231")
        << "time separators removed";
    EXPECT_EQ(Item(4).m_bRegister, 1) << "a flag word after a fifth field still counts";
    EXPECT_EQ(Item(5).m_nFileSize, INT_MAX) << "an oversized number saturates";
    EXPECT_EQ(Item(6).m_nFileSize, -12) << "a sign is read like any decimal conversion";
    EXPECT_EQ(Item(7).m_nFileSize, 0) << "a flag word as the size field is read as a size";
    EXPECT_EQ(Item(7).m_bRunSilent, 1) << "and as a flag";
    EXPECT_EQ(Item(7).m_bRun, 0) << "run silently excludes run";
    EXPECT_STREQ(Item(8).m_strFileName, "") << "a path ending in a backslash has no file name";
    EXPECT_STREQ(Item(8).m_strTargetDir, "C:\\dir") << "but a folder";
    EXPECT_EQ(Item(9).m_nFileSize, 0) << "a size field of blanks is not empty: 0";
    EXPECT_STREQ(Item(9).m_strFileTime, "") << "a time of blanks becomes empty";
}

TEST_F(ListParser, FlagWords)
{
    EXPECT_TRUE(Parse("[UPDATE FILES]\n"
                      "a.dll|1|||UNREG\n"
                      "a.dll|1|||REG\n"
                      "C:\\RUNTIME\\b.exe|1\n"
                      "C:\\RUNTIME\\b.exe\n"
                      "C:\\Runtime\\run\\b.exe|1\n"
                      "c.exe|1|||ATFIRST|RUN\n"
                      "d.exe|ATFIRST\n"));
    ASSERT_EQ(Count(), 7);
    EXPECT_EQ(Item(0).m_bRegister, 1) << "UNREG sets the register flag";
    EXPECT_EQ(Item(1).m_bRegister, 1) << "REG sets it";
    EXPECT_EQ(Item(2).m_bRun, 1) << "RUN inside a path counts once the line has a separator";
    EXPECT_EQ(Item(3).m_bRun, 0) << "a line without separator has no flags";
    EXPECT_EQ(Item(4).m_bRun, 0) << "run in another letter case is no flag";
    EXPECT_EQ(Item(5).m_bAtFirst, 1) << "ATFIRST after a separator";
    EXPECT_EQ(Item(5).m_bRun, 1) << "RUN as a word";
    EXPECT_EQ(Item(6).m_bAtFirst, 1) << "ATFIRST as field 2 still follows a separator";
    EXPECT_STREQ(Item(6).m_strVersion, "ATFIRST") << "and is the version too";
}

TEST_F(ListParser, BlankEntryLineRecordsErrorAndGoesOn)
{
    EXPECT_TRUE(Parse("[UPDATE FILES]\n \t \na.dll\n")) << "the list still parses";
    EXPECT_EQ(Count(), 1) << "no item for the blank entry";
    EXPECT_EQ(job.m_lastErrorCode, 21) << "blank entry code";
    EXPECT_STREQ(job.m_lastErrorText, "업데이트 목록정보가 없습니다.") << "blank entry text";
}

TEST_F(ListParser, DoubleByteCharactersDoNotSplitPathsOrFields)
{
    // Lead byte 0xB0 followed by the bytes of '\' and '|': one character each.
    const std::string dir = "C:\\\xB0\x5C\xB0\x7C";
    EXPECT_TRUE(Parse("[FILE PATH]\n" + dir + "\n[UPDATE FILES]\n%App Path%\\\xB1\x5C.dll|1\xB0\x7C|2\n"));
    ASSERT_EQ(Count(), 1);
    EXPECT_EQ(job.m_installFolder.Str(), dir) << "install folder";
    EXPECT_EQ(Item(0).m_strFileName.Str(), "\xB1\x5C.dll") << "the trail backslash is no separator";
    EXPECT_EQ(Item(0).m_strTargetDir.Str(), dir) << "folder up to the real backslash";
    EXPECT_EQ(Item(0).m_strVersion.Str(), "1\xB0\x7C") << "the trail bar is no field separator";
    EXPECT_EQ(Item(0).m_nFileSize, 2) << "the real bar after it is";
}

TEST_F(ListParser, HostileListsAreHandled)
{
    std::string longLine(1 << 20, 'a');
    EXPECT_TRUE(Parse("[UPDATE FILES]\n" + longLine + "|1\n"));
    ASSERT_EQ(Count(), 1) << "a 1 MB line is one entry";
    EXPECT_EQ(Item(0).m_strFileName.GetLength(), 1 << 20) << "stored unbroken";

    std::string withNul("[UPDATE FILES]\na\0b.dll|1\nc.dll\n", 31);
    EXPECT_TRUE(Parse(withNul));
    ASSERT_EQ(Count(), 2) << "NUL bytes do not end the list";
    EXPECT_EQ(Item(0).m_strFileName.GetLength(), 7) << "the NUL stays in the name";

    EXPECT_TRUE(Parse("[UPDATE FILES]\n[FILE PATH]\n[UPDATE FILES]\n[UPDATE FILES]\na\n[FILE PATH]"));
    EXPECT_EQ(Count(), 0) << "a single-byte entry line ends the list";

    std::string random;
    unsigned seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        random += static_cast<char>(seed >> 16);
    }
    EXPECT_TRUE(Parse("[UPDATE FILES]\n" + random)) << "random bytes parse without harm";
}

TEST_F(ListParser, HundredThousandEntries)
{
    std::string list = "[FILE PATH]\n%Program Files%\\M\n[UPDATE FILES]\n";
    for (int i = 0; i < 100000; ++i)
        list += "%App Path%\\f" + std::to_string(i) + ".dll|1,0,0," + std::to_string(i) + "|1,024|2008-03-14|REG\n";
    EXPECT_TRUE(Parse(list));
    ASSERT_EQ(Count(), 100000) << "every entry is an item";
    EXPECT_STREQ(Item(99999).m_strVersion, "1,0,0,99999") << "the last entry is read whole";
    EXPECT_EQ(Item(99999).m_nFileSize, 1024) << "with its size";
}

TEST(PathMacros, ReplacementRules)
{
    PathMacroValues values;
    values.value[kMacroWindows] = "W%System%%Windows%";
    values.value[kMacroSystem] = "S";
    values.value[kMacroProgramFiles] = "P";
    values.value[kMacroAppPath] = "A%AX Path%";
    values.value[kMacroAxPath] = "X";
    EXPECT_EQ(ReplacePathMacros("%Windows%", values), "WS%Windows%")
        << "later macros are found in inserted values, the same one is not";
    EXPECT_EQ(ReplacePathMacros("%App Path%\\%App Path%|%Program Files%", values), "AX\\AX|P")
        << "every occurrence of several macros";
    EXPECT_EQ(ReplacePathMacros("%windows% %AppPath% %Temp% %App  Path%", values),
              "%windows% %AppPath% %Temp% %App  Path%")
        << "other letter cases, missing blanks and unknown words stay";
    EXPECT_EQ(ReplacePathMacros("%App%App Path%", values), "%AppAX")
        << "scanning from the left; AX Path inserted by App Path is replaced too";
    EXPECT_EQ(ProgramFilesOnWindowsDrive("C:\\WINDOWS"), "C:\\Program Files") << "drive of the Windows folder";
    EXPECT_EQ(ProgramFilesOnWindowsDrive(""), "\\Program Files") << "an unknown Windows folder";
    EXPECT_EQ(DownloadedProgramFiles(""), "\\Downloaded Program Files") << "AX Path without a Windows folder";
}

TEST(PathMacros, MachineFolders)
{
    UpdateProgressDialog job;
    job.m_moduleFolder = "M";
    const CString text = job.ExpandPathMacros("%Windows%|%System%|%Program Files%|%AX Path%|%App Path%");
    EXPECT_EQ(text.Str(), WindowsFolder() + "|" + SystemFolder() + "|" + ProgramFilesFolder() + "|" +
                              WindowsFolder() + "\\Downloaded Program Files|M")
        << "the machine's folders";
    EXPECT_STREQ(job.m_installFolder, "M") << "an empty install folder takes the module folder";
    job.m_installFolder = "I";
    EXPECT_STREQ(job.ExpandPathMacros("%App Path%"), "I") << "App Path follows the install folder at every call";
}

}  // namespace

TEST(ListFormat, TheSha256WordIsSixtyFourHexDigitsAfterTheFields)
{
    const std::string hex = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    std::string upper = hex;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    struct Case {
        std::string line;
        std::string digest;
        const char* what;
    };
    const Case cases[] = {
        {"a.dll|1.0|3|20261201103000 SHA256=" + hex, "", "without its '|' it is no word"},
        {"a.dll|1.0|3|20261201103000|SHA256=" + hex, hex, "the word after the fourth field"},
        {"a.dll|1.0|3|20261201103000|REG|SHA256=" + hex, hex, "after another flag word"},
        {"a.dll|1.0|3|20261201103000|SHA256=" + hex + "|RUN", hex, "before another flag word"},
        {"a.dll|1.0|3|20261201103000|SHA256=" + upper, hex, "upper case is read as lower case"},
        {"a.dll|1.0|3|20261201103000|SHA256=" + hex.substr(1), "", "63 digits"},
        {"a.dll|1.0|3|20261201103000|SHA256=" + hex + "0", "", "65 digits"},
        {"a.dll|1.0|3|20261201103000|SHA256=" + hex.substr(0, 63) + "g", "", "a letter beyond f"},
        {"a.dll|1.0|3|20261201103000", "", "no word"},
    };
    for (const Case& c : cases) {
        const EntryFields fields = SplitEntryLine(c.line);
        EXPECT_EQ(fields.sha256, c.digest) << c.what;
        EXPECT_FALSE(fields.run && c.line.find("RUN") == std::string::npos) << "the word sets no other flag: " << c.what;
        EXPECT_FALSE(fields.registerFlag && c.line.find("REG") == std::string::npos) << c.what;
    }
}
