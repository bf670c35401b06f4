// The version check: its text rules, the version resource reader, the three file tests
// and the decision for each record, on copies of the fixture modules in a scratch folder.
// The daylight-saving test needs TZ=America/New_York (ctest sets it).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/file_version_info.h"
#include "engine/version_text.h"
#include "tests/support/test_files.h"
#include "ui/progress_dialog.h"

namespace {

// A folder of its own under the temporary folder, removed with its files.
class Scratch {
public:
    Scratch()
    {
        static int serial = 0;
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof(temp), temp);
        m_folder = std::string(temp) + "vexa_version_" + std::to_string(GetCurrentProcessId()) + "_" +
                   std::to_string(++serial);
        CreateDirectoryA(m_folder.c_str(), nullptr);
    }
    ~Scratch()
    {
        for (const std::string& file : m_files)
            DeleteFileA(file.c_str());
        RemoveDirectoryA(m_folder.c_str());
    }

    std::string Path(const std::string& name) const { return m_folder + "\\" + name; }
    const std::string& Folder() const { return m_folder; }

    std::string Copy(const std::string& fixture, const std::string& name)
    {
        const std::string path = Keep(name);
        EXPECT_TRUE(CopyFileA(FixturePath(fixture).c_str(), path.c_str(), FALSE)) << "fixture copied: " << fixture;
        return path;
    }
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = Keep(name);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        EXPECT_TRUE(file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            << "text file written: " << name;
        CloseHandle(file);
        return path;
    }

private:
    std::string Keep(const std::string& name)
    {
        m_files.push_back(Path(name));
        return m_files.back();
    }

    std::string m_folder;
    std::vector<std::string> m_files;
};

void SetWriteTime(const std::string& path, const SYSTEMTIME& utc)
{
    FILETIME time = {};
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(SystemTimeToFileTime(&utc, &time) && SetFileTime(file, nullptr, nullptr, &time))
        << "modification time set on " << path;
    CloseHandle(file);
}

// Every file of a test carries this local modification time, whatever the zone.
constexpr char kStamp[] = "20260314102231";
void SetLocalWriteTime(const std::string& path)
{
    const SYSTEMTIME local = {2026, 3, 0, 14, 10, 22, 31, 0};
    SYSTEMTIME utc = {};
    EXPECT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc)) << "local time converts";
    SetWriteTime(path, utc);
}

// ---------------------------------------------------------------------------------------
// The text rules

struct Parsed {
    const char* text;
    uint16_t values[4];
};

TEST(VersionText, ParsesUpToFourComponentsAndKeepsTheRest)
{
    const Parsed cases[] = {
        {"1.2", {1, 2, 7, 7}},           {"1..3", {1, 0, 3, 7}},
        {"1,2.3,4", {1, 2, 3, 4}},       {"2.0.0.0.7", {2, 0, 0, 0}},
        {"", {0, 7, 7, 7}},              {"5.", {5, 0, 7, 7}},
        {"3a.x7.+8. \t-1", {3, 0, 8, 65535}},
        {"65536.70000", {0, 4464, 7, 7}},
        // A lead byte takes the byte after it along, so that '.' separates nothing.
        {"1\xB0.2.3", {1, 3, 7, 7}},
    };
    for (const Parsed& c : cases) {
        uint16_t values[4] = {7, 7, 7, 7};
        ParseVersionText(c.text, values, 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(values[i], c.values[i]) << "component " << i << " of \"" << c.text << "\"";
    }
    uint16_t two[4] = {7, 7, 7, 7};
    ParseVersionText("1.2.3", two, 2);
    EXPECT_EQ(two[2], 7) << "no more components than asked for are written";
}

TEST(VersionText, LongTextsAndComponentsCountWithTheirLeadingBytes)
{
    const std::string digits40 = "1234567890123456789012345678901234567890";
    const Parsed cases[] = {
        {"1234567890123456", {57209, 7, 7, 7}},  // 123456789012345 % 65536
        {"-1234567890123456.5", {53262, 5, 7, 7}},
        {"  1234567890123456", {1227, 7, 7, 7}},  // the blanks are of the 15 bytes
    };
    for (const Parsed& c : cases) {
        uint16_t values[4] = {7, 7, 7, 7};
        ParseVersionText(c.text, values, 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(values[i], c.values[i]) << "component " << i << " of \"" << c.text << "\"";
    }
    uint16_t values[4] = {};
    ParseVersionText(digits40 + ".3", values, 4);
    EXPECT_EQ(values[0], 57209) << "40 digits count with their first 15";
    EXPECT_EQ(values[1], 3) << "the component after a long one is read";

    // "1.2.3" and filler that is no digit up to the given length, then ".9": the 9 counts
    // only within 99 bytes.
    const auto padded = [](size_t length) { return "1.2.3" + std::string(length - 5, 'a') + ".9"; };
    EXPECT_TRUE(CompareVersionTexts(padded(97), "1.2.3.8")) << "a 99-byte text is read whole";
    EXPECT_FALSE(CompareVersionTexts(padded(98), "1.2.3.0")) << "the 100th byte is cut off";
    EXPECT_FALSE(CompareVersionTexts("1.2.3.0", padded(98))) << "the cut text is 1.2.3.0";
    EXPECT_TRUE(CompareVersionTexts("1.2.3.1", padded(998))) << "a 1000-byte text is cut as well";
    EXPECT_TRUE(CompareVersionTexts("9" + std::string(999, '9'), "1.0")) << "one long component is read";
}

TEST(VersionText, ComparesComponentsAsUnsignedNumbers)
{
    // Each pair is higher first, or equal.
    struct Pair {
        const char *first, *second;
        bool higher;
    };
    const Pair cases[] = {
        {"1.10", "1.9", true},          {"1.0.10.0", "1.0.9.0", true},  {"1.2", "1.2.0.0", false},
        {"2.0.0.0.7", "2.0.0.0", false}, {"1.1", "1.0.9.9", true},      {"0.0.0.65535", "0.0.0.1", true},
        {"1.0.0.-1", "1.0.0.2", true},  {"", "0.0.0.0", false},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(CompareVersionTexts(c.first, c.second), c.higher) << c.first << " > " << c.second;
        EXPECT_FALSE(CompareVersionTexts(c.second, c.first)) << c.second << " > " << c.first;
    }
    EXPECT_EQ(FileVersionInfo::CompareVersions("1.0.3.3", "1.0.3.2"), TRUE) << "the member gives TRUE";
    WORD words[4] = {9, 9, 9, 9};
    EXPECT_EQ(FileVersionInfo::ParseVersion("4,5", words, 4), TRUE) << "parsing always succeeds";
    EXPECT_TRUE(words[0] == 4 && words[1] == 5 && words[2] == 9) << "the member parses as the rule does";
}

TEST(VersionText, NormalizedVersionsVersionedNamesAndStamps)
{
    EXPECT_EQ(NormalizeVersionText(" 1, 0 ,3,2 "), "1.0.3.2") << "blanks go, commas become dots";

    const std::pair<const char*, bool> names[] = {
        {"a.dll", true},   {"A.DLL", true},     {"b.Exe", true},   {"c.ocx \t", true},
        {".dll", true},    {"\xB0\xA1.exe", true}, {"a.dlls", false}, {"a.cab", false},
        {"dll", false},    {"a.dll.txt", false}, {"", false},
    };
    for (const auto& [name, versioned] : names)
        EXPECT_EQ(HasVersionedExtension(name), versioned) << "versioned name: \"" << name << "\"";

    struct Stamp {
        const char* stamp;
        bool matches;
    };
    const Stamp stamps[] = {
        {"20260314102231", true},  {"20260314102259", true},  {"202603141022xy", true},
        {"20260314102331", false}, {"202603141022", false},   {"2026031410223", false},
        {"2", false},              {"", false},
    };
    for (const Stamp& s : stamps)
        EXPECT_EQ(FileTimeStampMatches(kStamp, s.stamp), s.matches) << "stamp \"" << s.stamp << "\"";
    EXPECT_TRUE(FileTimeStampMatches("ABCD12", "abcd99")) << "letter case does not count";
}

// ---------------------------------------------------------------------------------------
// The version resource

TEST(FileVersionInfoTest, ReadsTheFileVersionNotTheProductVersion)
{
    struct Module {
        const char* name;
        const char* text;
        DWORD productMs;
    };
    const Module modules[] = {
        {"versioned_1_0_3_2.dll", "1,0,3,2", 0x00090009},
        {"versioned_1_0_3_0.ocx", "1,0,3,0", 0x00090009},
        {"versioned_2_1_65535_40000.exe", "2,1,65535,40000", 0x00010000},
    };
    for (const Module& m : modules) {
        FileVersionInfo info;
        ASSERT_TRUE(info.Load(FixturePath(m.name).c_str())) << "loads " << m.name;
        EXPECT_NE(info.m_pBlock, nullptr) << "a block is kept for " << m.name;
        VS_FIXEDFILEINFO fixed = {};
        ASSERT_TRUE(info.GetFixedInfo(&fixed)) << "fixed part of " << m.name;
        EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu) << "the whole record is copied for " << m.name;
        EXPECT_EQ(fixed.dwProductVersionMS, m.productMs) << "product version of " << m.name;
        EXPECT_EQ(info.GetVersionText().Str(), m.text) << "file version of " << m.name;
        info.Free();
        EXPECT_EQ(info.m_pBlock, nullptr) << "Free lets go of the block";
        EXPECT_FALSE(info.GetFixedInfo(&fixed)) << "no fixed part after Free";
        EXPECT_EQ(info.GetVersionText().Str(), "") << "no version text after Free";
    }
}

TEST(FileVersionInfoTest, FilesWithoutAUsableResource)
{
    FileVersionInfo info;
    ASSERT_TRUE(info.Load(FixturePath("versioned_1_0_3_2.dll").c_str())) << "a first module loads";
    EXPECT_FALSE(info.Load(FixturePath("no_translation_1_0_3_2.dll").c_str())) << "no translation table";
    EXPECT_EQ(info.m_pBlock, nullptr) << "neither the earlier nor the failed block is kept";
    EXPECT_FALSE(info.Load(FixturePath("unversioned.dll").c_str())) << "no version resource";
    EXPECT_FALSE(info.Load(FixturePath("absent.dll").c_str())) << "no file";
    EXPECT_EQ(info.m_pBlock, nullptr) << "nothing kept after failures";

    ASSERT_TRUE(info.Load(FixturePath("fixed_info_missing.dll").c_str())) << "a table but no fixed part";
    VS_FIXEDFILEINFO fixed = {};
    EXPECT_FALSE(info.GetFixedInfo(&fixed)) << "a missing fixed part is not read from what follows";
    EXPECT_EQ(info.GetVersionText().Str(), "") << "and gives no version";
}

// ---------------------------------------------------------------------------------------
// The file tests and the decisions

class VersionCheck : public testing::Test {
protected:
    struct Case {
        const char* what;
        std::string file;  // in the scratch folder
        std::string name;  // as listed
        const char* version;
        int size;
        const char* time;
        int atFirst;
        int expected;
    };

    // Runs the check over the cases as listed records and compares each state.
    void ExpectDecisions(const std::vector<Case>& cases)
    {
        job.ReleaseItems();
        for (const Case& c : cases)
            job.AddUpdateItem(Record(c));
        ASSERT_TRUE(job.CheckVersions()) << "the check goes through every record";
        for (size_t i = 0; i < cases.size(); ++i)
            EXPECT_EQ(job.m_items.GetAt(static_cast<INT_PTR>(i))->m_nUpdateState, cases[i].expected)
                << cases[i].what;
    }

    UpdateItem Record(const Case& c) const
    {
        UpdateItem item;
        item.m_strTargetPath = scratch.Path(c.file);
        item.m_strTargetDir = scratch.Folder();
        item.m_strFileName = c.name.empty() ? c.file : c.name;
        item.m_strVersion = c.version;
        item.m_nFileSize = c.size;
        item.m_strFileTime = c.time;
        item.m_bAtFirst = c.atFirst;
        item.m_nUpdateState = kUpdateFile;
        return item;
    }

    std::string Text(const std::string& name, const std::string& bytes)
    {
        const std::string path = scratch.Write(name, bytes);
        SetLocalWriteTime(path);
        return path;
    }
    std::string Module(const std::string& fixture, const std::string& name)
    {
        const std::string path = scratch.Copy(fixture, name);
        SetLocalWriteTime(path);
        return path;
    }
    static int SizeOf(const std::string& path)
    {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
        return static_cast<int>(data.nFileSizeLow);
    }

    Scratch scratch;
    UpdateProgressDialog job;
};

TEST_F(VersionCheck, FileTestsOnFilesAndFilesInUse)
{
    const std::string text = Text("a.txt", "twelve bytes");
    const std::string empty = Text("empty.txt", "");
    const std::string missing = scratch.Path("missing.txt");
    EXPECT_TRUE(job.FileExists(text)) << "an existing file";
    EXPECT_FALSE(job.FileExists(missing)) << "a missing file";
    EXPECT_FALSE(job.FileExists(scratch.Folder())) << "a folder is no file";
    EXPECT_TRUE(job.FileSizeMatches(text, 12)) << "equal size";
    EXPECT_FALSE(job.FileSizeMatches(text, 13)) << "other size";
    EXPECT_FALSE(job.FileSizeMatches(text, -1)) << "no size listed";
    EXPECT_TRUE(job.FileSizeMatches(empty, 0)) << "an empty file has size 0";
    EXPECT_FALSE(job.FileSizeMatches(missing, 0)) << "a missing file has no size";
    EXPECT_TRUE(job.FileTimeMatches(text, kStamp)) << "the local modification time";
    EXPECT_TRUE(job.FileTimeMatches(text, "20260314102200")) << "seconds do not count";
    EXPECT_FALSE(job.FileTimeMatches(text, "20260314112231")) << "another hour";
    EXPECT_FALSE(job.FileTimeMatches(text, "")) << "no stamp";
    EXPECT_FALSE(job.FileTimeMatches(missing, kStamp)) << "a missing file has no time";
    {
        FileHolder holder(text, "read");
        ASSERT_TRUE(holder.Holding()) << "the helper holds the file, sharing reads";
        EXPECT_TRUE(job.FileExists(text)) << "a file shared for reading exists";
        EXPECT_FALSE(job.FileSizeMatches(text, 12)) << "the size is read only from a file no one holds";
        EXPECT_TRUE(job.FileTimeMatches(text, kStamp)) << "the time is read from a file in use";
    }
    FileHolder holder(text, "none");
    ASSERT_TRUE(holder.Holding()) << "the helper holds the file, sharing nothing";
    EXPECT_FALSE(job.FileExists(text)) << "a file no one may open counts as missing";
}

TEST_F(VersionCheck, FileTimeTakesTheDaylightOffsetOfTheFilesDate)
{
    TIME_ZONE_INFORMATION zone = {};
    GetTimeZoneInformation(&zone);
    ASSERT_EQ(zone.Bias, 300) << "the test runs with TZ=America/New_York";
    const std::string winter = scratch.Write("winter.txt", "x");
    const std::string summer = scratch.Write("summer.txt", "x");
    SetWriteTime(winter, {2026, 1, 0, 15, 12, 0, 30, 0});
    SetWriteTime(summer, {2026, 7, 0, 15, 12, 0, 30, 0});
    EXPECT_TRUE(job.FileTimeMatches(winter, "20260115070030")) << "January: UTC-5";
    EXPECT_FALSE(job.FileTimeMatches(winter, "20260115120030")) << "local time, not UTC";
    EXPECT_TRUE(job.FileTimeMatches(summer, "20260715080030")) << "July: UTC-4";
}

TEST_F(VersionCheck, DecidesVersionedFilesByTheirFileVersion)
{
    Module("versioned_1_0_3_2.dll", "core.dll");
    Module("versioned_1_0_9_0.dll", "nine.dll");
    Module("versioned_1_0_3_0.ocx", "view.ocx");
    Module("versioned_2_1_65535_40000.exe", "agent.exe");
    ExpectDecisions({
        {"offered newer", "core.dll", "", "1.0.3.3", -1, "", 0, kUpdateFile},
        {"equal, product version 9.9.9.9 ignored", "core.dll", "", "1.0.3.2", -1, "", 0, kNoUpdate},
        {"installed newer", "core.dll", "", "1.0.3.1", -1, "", 0, kInstalledNewer},
        {"blanks and commas", "core.dll", "", "1, 0, 3, 2", -1, "", 0, kNoUpdate},
        {"1.0.10.0 over 1.0.9.0", "nine.dll", "", "1.0.10.0", -1, "", 0, kUpdateFile},
        {"equal, product version 0.0.0.1 ignored", "nine.dll", "", "1.0.9.0", -1, "", 0, kNoUpdate},
        {"1.0.3 is 1.0.3.0", "view.ocx", "", "1.0.3", -1, "", 0, kNoUpdate},
        {"1.0.2.0 under 1.0.3.0", "view.ocx", "", "1.0.2.0", -1, "", 0, kInstalledNewer},
        {"components above 32767", "agent.exe", "", "2.1.65535.40000", -1, "", 0, kNoUpdate},
        {"2.1 under 2.1.65535.40000", "agent.exe", "", "2.1", -1, "", 0, kInstalledNewer},
        {"missing versioned file", "absent.dll", "", "1.0.0.0", -1, "", 0, kUpdateFile},
    });
}

TEST_F(VersionCheck, VersionedFilesWithoutAReadableVersion)
{
    const int size = SizeOf(Module("no_translation_1_0_3_2.dll", "bare.dll"));
    Module("unversioned.dll", "none.dll");
    Module("fixed_info_missing.dll", "cut.dll");
    const int core = SizeOf(Module("versioned_1_0_3_2.dll", "core.dll"));
    ExpectDecisions({
        {"no translation table, size and time match", "bare.dll", "", "1.0.3.2", size, kStamp, 0, kUpdateFile},
        {"no version resource", "none.dll", "", "1.0.0.0", -1, "", 0, kUpdateFile},
        {"no fixed part", "cut.dll", "", "1.0.0.0", -1, "", 0, kUpdateFile},
        {"a version of blanks only, size and time match", "core.dll", "", "  ", core, kStamp, 0, kUpdateFile},
    });
}

TEST_F(VersionCheck, OnlyDllOcxAndExeNamesAreVersioned)
{
    const int size = SizeOf(Module("versioned_1_0_3_2.dll", "upper.DLL"));
    Module("versioned_2_1_65535_40000.exe", "mixed.Exe");
    Module("versioned_1_0_3_2.dll", "core.dlls");
    Module("versioned_1_0_3_2.dll", "pack.cab");
    Module("versioned_1_0_3_2.dll", "blank.dll");
    Text("notes.txt", "some notes");
    ExpectDecisions({
        {".DLL", "upper.DLL", "", "1.0.0.0", -1, "", 0, kInstalledNewer},
        {".Exe", "mixed.Exe", "", "2.0", -1, "", 0, kInstalledNewer},
        {"trailing blanks after .dll", "blank.dll", "blank.dll \t", "1.0.0.0", -1, "", 0, kInstalledNewer},
        {".dlls, version ignored", "core.dlls", "", "1.0.3.2", -1, "", 0, kUpdateFile},
        {".dlls by size and time", "core.dlls", "", "9.0", size, kStamp, 0, kNoUpdate},
        {".cab, version ignored", "pack.cab", "", "0.1", -1, "", 0, kUpdateFile},
        {".txt with a version only", "notes.txt", "", "1.0.0.0", -1, "", 0, kUpdateFile},
    });
}

TEST_F(VersionCheck, DecidesOtherFilesBySizeAndTime)
{
    const int dll = SizeOf(Module("versioned_1_0_3_2.dll", "core.dll"));
    Text("readme.txt", "twelve bytes");
    Text("empty.txt", "");
    Text("empty.dll", "");
    ExpectDecisions({
        {"size and time match", "readme.txt", "", "", 12, kStamp, 0, kNoUpdate},
        {"only the seconds differ", "readme.txt", "", "", 12, "20260314102205", 0, kNoUpdate},
        {"the minute differs", "readme.txt", "", "", 12, "20260314102331", 0, kUpdateFile},
        {"the size differs", "readme.txt", "", "", 13, kStamp, 0, kUpdateFile},
        {"no size", "readme.txt", "", "", -1, kStamp, 0, kUpdateFile},
        {"no time", "readme.txt", "", "", 12, "", 0, kUpdateFile},
        {"empty file of size 0", "empty.txt", "", "", 0, kStamp, 0, kNoUpdate},
        {"missing file", "absent.txt", "", "", 12, kStamp, 0, kUpdateFile},
        {"versioned without a version: size and time", "core.dll", "", "", dll, kStamp, 0, kNoUpdate},
        {"versioned without a version: size 0", "empty.dll", "", "", 0, kStamp, 0, kUpdateFile},
        {"versioned without a version: no time", "core.dll", "", "", dll, "", 0, kUpdateFile},
        {"versioned without a version: no size", "core.dll", "", "", -1, kStamp, 0, kUpdateFile},
    });
}

TEST_F(VersionCheck, AtFirstFilesAreKeptOnceThere)
{
    Module("versioned_1_0_3_2.dll", "core.dll");
    Text("readme.txt", "twelve bytes");
    ExpectDecisions({
        {"present, offered newer", "core.dll", "", "9.0", -1, "", 1, kNoUpdate},
        {"present, size differs", "readme.txt", "", "", 99, "", 1, kNoUpdate},
        {"missing", "absent.dll", "", "1.0", -1, "", 1, kUpdateFile},
    });
}

TEST_F(VersionCheck, FilesHeldByAnotherProcess)
{
    const int size = SizeOf(Text("held.txt", "twelve bytes"));
    Module("versioned_1_0_3_2.dll", "held.dll");
    const std::vector<Case> cases = {
        {"text file", "held.txt", "", "", size, kStamp, 0, kUpdateFile},
        {"versioned file", "held.dll", "", "1.0.3.2", -1, "", 0, kUpdateFile},
        {"at-first file", "held.dll", "", "1.0.3.2", -1, "", 1, kUpdateFile},
    };
    {
        FileHolder text(scratch.Path("held.txt"), "none"), module(scratch.Path("held.dll"), "none");
        ASSERT_TRUE(text.Holding() && module.Holding()) << "both files held, sharing nothing";
        ExpectDecisions(cases);
    }
    FileHolder text(scratch.Path("held.txt"), "read"), module(scratch.Path("held.dll"), "read");
    ASSERT_TRUE(text.Holding() && module.Holding()) << "both files held, sharing reads";
    ExpectDecisions({cases[0], {"versioned file", "held.dll", "", "1.0.3.2", -1, "", 0, kNoUpdate},
                     {"at-first file", "held.dll", "", "", -1, "", 1, kNoUpdate}});
}

TEST_F(VersionCheck, AnEmptySlotStopsTheCheck)
{
    Text("readme.txt", "x");
    job.AddUpdateItem(Record({"", "readme.txt", "", "", -1, "", 1, 0}));
    job.m_items.SetSize(2);
    job.AddUpdateItem(Record({"", "readme.txt", "", "", -1, "", 1, 0}));
    job.m_lastErrorCode = 7;
    job.m_lastErrorText = "stale";
    EXPECT_FALSE(job.CheckVersions()) << "an empty slot fails the step";
    EXPECT_EQ(job.m_lastErrorCode, 0) << "with no error code";
    EXPECT_EQ(job.m_lastErrorText.Str(), "") << "and no error text";
    EXPECT_EQ(job.m_items.GetAt(0)->m_nUpdateState, kNoUpdate) << "the record before it is decided";
    EXPECT_EQ(job.m_items.GetAt(2)->m_nUpdateState, kUpdateFile) << "the record after it is not";
}

TEST_F(VersionCheck, OnlyTheStateOfEachRecordIsWritten)
{
    Module("versioned_1_0_3_2.dll", "core.dll");
    Case decided = {"", "core.dll", " core.dll \t", "1.0.3.1", 7, "2026", 0, 0};
    Case undecided = {"", "absent.dll", "", "1.0", -1, "", 0, 0};
    UpdateItem first = Record(decided), second = Record(undecided);
    first.m_bRegister = first.m_bRun = 1;
    first.m_strDownloadURL = "http://data.example/core.dll";
    first.m_strStagePath = "C:\\stage\\core.dll";
    first.m_strErrorText = "kept";
    first.m_nResult = kResultDeclined;
    second.m_nUpdateState = kInstalledNewer;
    job.AddUpdateItem(first);
    job.AddUpdateItem(second);
    job.m_lastErrorCode = 7;
    ASSERT_TRUE(job.CheckVersions()) << "the check succeeds";
    EXPECT_EQ(job.m_lastErrorCode, 0) << "it starts with a cleared error";
    const UpdateItem& after = *job.m_items.GetAt(0);
    EXPECT_EQ(after.m_strFileName.Str(), first.m_strFileName.Str()) << "the listed name is not trimmed";
    EXPECT_TRUE(after.m_strTargetPath == first.m_strTargetPath && after.m_strVersion == first.m_strVersion &&
                after.m_nFileSize == first.m_nFileSize && after.m_strFileTime == first.m_strFileTime &&
                after.m_strDownloadURL == first.m_strDownloadURL && after.m_strStagePath == first.m_strStagePath &&
                after.m_strErrorText == first.m_strErrorText && after.m_nResult == first.m_nResult &&
                after.m_bRegister == 1 && after.m_bRun == 1 && after.m_nUpdateState == kInstalledNewer)
        << "every other field is as listed, the state is decided";
    EXPECT_EQ(job.m_items.GetAt(1)->m_nUpdateState, kInstalledNewer) << "no decision leaves the state as it was";

    job.ReleaseItems();
    EXPECT_TRUE(job.CheckVersions()) << "an empty list is checked";
}

}  // namespace
