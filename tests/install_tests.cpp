// The installation: its text rules, the registration and start of installed files, the
// replacement of one file, the staging folder's removal, and whole runs against the local
// test server whose questions and notices are answered through the window system.
// Listed times are checked in TZ=America/New_York; the disk-full test needs the small
// disk that ctest mounts (VEXA_SMALL_DISK names its drive).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/install_text.h"
#include "tests/run_recorder.h"
#include "tests/support/message_boxes.h"
#include "tests/support/test_files.h"
#include "tests/support/server_suite.h"
#include "ui/progress_dialog.h"

namespace {

const char* const kConfirmCaption = "사용자 확인";
const char* const kNoticeCaption = "알림";
const char* const kNewerQuestion =
    "이미 설치되어있는 파일이 최신버전입니다.\r\n해당 파일을 그래도 업데이트 하시겠습니까?\r\n\r\n파일명:";
const char* const kReadOnlyQuestion = "다음파일이 읽기전용입니다. 업데이트 하시겠습니까?\r\n\r\n파일명:";
const char* const kInUseNotice = "다음 파일이 사용중이어서 업데이트 하지 못했습니다.\n";
const char* const kDiskFullNotice = "disk 공간이 부족하여 업데이트 할수 없습니다.";

std::string TestName() { return testing::UnitTest::GetInstance()->current_test_info()->name(); }

std::string Pattern(size_t size, int seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251 + static_cast<size_t>(seed) * 7) & 0xFF);
    return bytes;
}

std::string FixtureBytes(const std::string& name)
{
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(FixturePath(name), &bytes)) << "fixture readable: " << name;
    return bytes;
}

std::string Content(const std::string& path)
{
    std::string bytes;
    if (!ReadWholeFile(path, &bytes))
        return "<no file " + path + ">";
    return bytes;
}

// The system's own text for an error, as FormatMessage gives it, without the line end.
std::string SystemText(DWORD error)
{
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        text[--length] = '\0';
    return text;
}

// Times as UTC text "yyyy-mm-dd hh:mm:ss".
std::string UtcText(const FILETIME& time)
{
    SYSTEMTIME utc = {};
    FileTimeToSystemTime(&time, &utc);
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute,
              utc.wSecond);
    return text;
}

struct FileTimes {
    FILETIME created = {}, accessed = {}, modified = {};
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
};

FileTimes TimesOf(const std::string& path)
{
    FileTimes times;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return times;
    times.created = data.ftCreationTime;
    times.accessed = data.ftLastAccessTime;
    times.modified = data.ftLastWriteTime;
    times.attributes = data.dwFileAttributes;
    return times;
}

// Seconds between a file time and now.
long long SecondsFromNow(const FILETIME& time)
{
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(now) - ticks(time)) / 10000000;
}

// Every name in a folder, sorted: compared before and after, it shows anything left behind,
// whatever its name.
std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data = {};
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0)
            names.push_back(data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

// A listing with one more name.
Names With(Names names, const std::string& name)
{
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

// A box the shell shows about a program it cannot start: a notice that asks nothing, under
// neither of the run's own captions, with a text.
void ExpectShellsOwnBox(const SeenBox& box)
{
    EXPECT_TRUE(box.ok && !box.yes && !box.no) << "the shell's notice asks nothing: " << Describe(box);
    EXPECT_NE(box.caption, kConfirmCaption) << "not the run's question: " << Describe(box);
    EXPECT_NE(box.caption, kNoticeCaption) << "not the run's notice: " << Describe(box);
    EXPECT_NE(box.text, "") << "it says why";
}

// The fixtures' log, VEXA_FIXTURE_LOG, pointed at a file of the test's own.
class FixtureLog {
public:
    explicit FixtureLog(const std::string& path) : m_path(path)
    {
        DeleteFileA(m_path.c_str());
        SetEnvironmentVariableA("VEXA_FIXTURE_LOG", m_path.c_str());
    }
    ~FixtureLog() { SetEnvironmentVariableA("VEXA_FIXTURE_LOG", nullptr); }

    std::vector<std::string> Lines() const
    {
        std::string text;
        std::vector<std::string> lines;
        if (!ReadWholeFile(m_path, &text))
            return lines;
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

private:
    std::string m_path;
};

// ---------------------------------------------------------------------------------------
// The text rules

TEST(InstallText, ListTimeIsFourteenDigitsOfARealDate)
{
    ListTime time;
    ASSERT_TRUE(ParseListTime("20260314102231", &time)) << "14 digits";
    EXPECT_EQ(time.year, 2026) << "year";
    EXPECT_EQ(time.month, 3) << "month";
    EXPECT_EQ(time.day, 14) << "day";
    EXPECT_EQ(time.hour, 10) << "hour";
    EXPECT_EQ(time.minute, 22) << "minute";
    EXPECT_EQ(time.second, 31) << "second";

    ListTime longer;
    ASSERT_TRUE(ParseListTime("2026031410223199999999999999999999", &longer)) << "a longer text uses its first 14";
    EXPECT_EQ(longer.second, 31) << "the bytes after the 14th are not read";

    for (const char* valid : {"20240229235959", "16010101000000", "20261231000000"}) {
        EXPECT_TRUE(ParseListTime(valid, &time)) << valid;
    }
    const char* const invalid[] = {
        "202603141022",    // 12 characters: the copy keeps its own time
        "2026031410223",   // 13
        "",
        "2026031410223x",  // a non-digit
        "2026-3-14102231",
        "20230229000000",  // no 29 February that year
        "20260431000000",  // no 31 April
        "20261301000000", "20260001000000", "20260100000000",
        "20260101240000", "20260101006000", "20260101000060",
        "16001231235959",  // before file times begin
        "-2026031410223",
    };
    for (const char* text : invalid) {
        EXPECT_FALSE(ParseListTime(text, &time)) << "\"" << text << "\" is no listed time";
    }
    EXPECT_FALSE(ParseListTime(std::string_view("2026031\0102231", 14), &time)) << "an embedded zero byte";
}

TEST(InstallText, ModuleFileNamesAndTemporarySiblings)
{
    EXPECT_TRUE(NamesModuleFile("C:\\App\\NOENTRY.DLL")) << "upper case counts, the test is on the lower-cased path";
    EXPECT_TRUE(NamesModuleFile("C:\\App\\ctl.Ocx")) << "mixed case";
    EXPECT_TRUE(NamesModuleFile("C:\\x.dll.bak\\setup.exe")) << "anywhere in the path";
    EXPECT_TRUE(NamesModuleFile("C:\\가나다\\a.dll")) << "behind a Korean folder";
    EXPECT_FALSE(NamesModuleFile("C:\\App\\setup.exe")) << "a program";
    EXPECT_FALSE(NamesModuleFile("C:\\App\\a.dl")) << "a shorter suffix";
    EXPECT_FALSE(NamesModuleFile("")) << "no path";

    EXPECT_EQ(SiblingTempPath("C:\\App\\a.dll", 0x1234ABCDu), "C:\\App\\~vx1234ABCD.tmp") << "beside the target";
    EXPECT_EQ(SiblingTempPath("a.dll", 0xFu), "~vx0000000F.tmp") << "a bare name stays in the current folder";
    EXPECT_EQ(SiblingTempPath("C:\\가나\\b.ocx", 0u), "C:\\가나\\~vx00000000.tmp") << "a Korean folder";
    EXPECT_EQ(SiblingTempPath("\\\\server\\share\\c.dll", 1u), "\\\\server\\share\\~vx00000001.tmp") << "a share";
}

TEST(InstallText, ShellBufferTakesAtMost258Characters)
{
    char buffer[kShellPathBuffer];
    std::fill(std::begin(buffer), std::end(buffer), 'z');
    const std::string fits(258, 'a');
    ASSERT_TRUE(FillShellPathBuffer(fits, buffer)) << "258 characters fit";
    EXPECT_EQ(std::string(buffer, 258), fits) << "the path";
    EXPECT_EQ(buffer[258], '\0') << "first closing zero";
    EXPECT_EQ(buffer[259], '\0') << "second closing zero";

    std::fill(std::begin(buffer), std::end(buffer), 'z');
    EXPECT_FALSE(FillShellPathBuffer(std::string(259, 'a'), buffer)) << "259 characters do not fit";
    EXPECT_EQ(buffer[0], 'z') << "the buffer is untouched";
    EXPECT_FALSE(FillShellPathBuffer(std::string_view("C:\\a\0b", 6), buffer)) << "a zero byte would end the list";

    ASSERT_TRUE(FillShellPathBuffer("C:\\x", buffer)) << "a short path";
    EXPECT_EQ(std::string(buffer, 6), std::string("C:\\x\0\0", 6)) << "zero beyond the path";
}

// ---------------------------------------------------------------------------------------
// Registration and start, called directly

class Installed : public testing::Test {
protected:
    void SetUp() override
    {
        folder = ScratchFolder(TestName());
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << "scratch folder";
        log = std::make_unique<FixtureLog>(folder + "\\fixture.log");
    }
    void TearDown() override
    {
        log.reset();
        RemoveFolderTree(folder);
    }
    std::string Copy(const std::string& fixture, const std::string& name)
    {
        const std::string path = folder + "\\" + name;
        EXPECT_TRUE(CopyFileA(FixturePath(fixture).c_str(), path.c_str(), FALSE)) << "fixture copied: " << fixture;
        return path;
    }

    std::string folder;
    std::unique_ptr<FixtureLog> log;
    UpdateProgressDialog job;
};

TEST_F(Installed, RegistrationCallsTheEntryPointAndNonNegativeResultsSucceed)
{
    const std::string ok = Copy("component_ok.dll", "component_ok.dll");
    const std::string sFalse = Copy("component_false.ocx", "component_false.ocx");
    const std::string program = Copy("self_registering.exe", "self_registering.exe");
    EXPECT_TRUE(job.RegisterComponent(ok.c_str(), TRUE)) << "S_OK";
    EXPECT_TRUE(job.RegisterComponent(sFalse.c_str(), TRUE)) << "S_FALSE counts as success";
    EXPECT_TRUE(job.RegisterComponent(program.c_str(), TRUE)) << "a program exporting the entry point";
    EXPECT_TRUE(job.RegisterComponent(ok.c_str(), FALSE)) << "the other direction";
    EXPECT_EQ(job.m_lastErrorCode, 0) << "no error";
    EXPECT_EQ(log->Lines(), std::vector<std::string>({"register component_ok.dll", "register component_false.ocx",
                                                      "register self_registering.exe",
                                                      "unregister component_ok.dll"}))
        << "each entry point ran once, in order";
    for (const std::string& path : {ok, sFalse, program}) {
        EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "unloaded again: " << path;
    }
}

// A component's dependency comes from the component's own folder or the system folder,
// never from the current folder or PATH, where a standard user could plant one for an
// elevated registration.
TEST_F(Installed, RegistrationLoadsDependenciesOnlyBesideTheComponent)
{
    const std::string component = Copy("component_dep.dll", "component_dep.dll");
    const std::string planted = folder + "\\planted";
    ASSERT_TRUE(CreateDirectoryA(planted.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(FixturePath("dependency.dll").c_str(), (planted + "\\dependency.dll").c_str(), FALSE));
    char current[MAX_PATH] = {}, path[32767] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    const DWORD hadPath = GetEnvironmentVariableA("PATH", path, sizeof(path));
    struct Case {
        bool inCurrentFolder;
        bool onPath;
        bool beside;
        bool registers;
        const char* what;
    };
    const Case cases[] = {
        {true, false, false, false, "planted in the current folder"},
        {false, true, false, false, "planted in a folder on PATH"},
        {true, true, true, true, "beside the component"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        job.ClearLastError();
        SetCurrentDirectoryA(c.inCurrentFolder ? planted.c_str() : current);
        SetEnvironmentVariableA("PATH", c.onPath ? (planted + ";" + path).c_str() : path);
        if (c.beside)
            CopyFileA(FixturePath("dependency.dll").c_str(), (folder + "\\dependency.dll").c_str(), FALSE);
        EXPECT_EQ(job.RegisterComponent(component.c_str(), TRUE) != FALSE, c.registers) << "the registration";
        EXPECT_EQ(job.m_lastErrorCode, c.registers ? 0 : 60) << "a component that cannot load is error 60";
        EXPECT_EQ(GetModuleHandleA((planted + "\\dependency.dll").c_str()), nullptr) << "the planted copy never loaded";
    }
    SetCurrentDirectoryA(current);
    SetEnvironmentVariableA("PATH", hadPath ? path : nullptr);
    EXPECT_EQ(log->Lines(), std::vector<std::string>({"register component_dep.dll"})) << "registered once, from beside";
}

TEST_F(Installed, RegistrationErrors60To63)
{
    struct Case {
        std::string path;
        int code;
        const char* text;
    };
    WriteFileBytes(folder + "\\text.dll", "not a library");
    const Case cases[] = {
        {folder + "\\absent.dll", 60, "라이브러리파일을 로드하지 못했습니다."},
        {folder + "\\text.dll", 60, "라이브러리파일을 로드하지 못했습니다."},
        {Copy("recorder.exe", "recorder.exe"), 61, "레지스트리에 등록가능한 파일이 아닙니다."},
        {Copy("NOENTRY.DLL", "NOENTRY.DLL"), 62, "엔트리포인트를 찾을수 없습니다."},
        {Copy("component_fails.dll", "component_fails.dll"), 63, "레지스트리 등록/해제를 하지못했습니다."},
    };
    for (const Case& c : cases) {
        job.ClearLastError();
        EXPECT_FALSE(job.RegisterComponent(c.path.c_str(), TRUE)) << "fails: " << c.path;
        EXPECT_EQ(job.m_lastErrorCode, c.code) << "error code of " << c.path;
        EXPECT_EQ(job.m_lastErrorText.Str(), c.text) << "error text of " << c.path;
        EXPECT_EQ(GetModuleHandleA(c.path.c_str()), nullptr) << "not left loaded: " << c.path;
    }
    EXPECT_EQ(log->Lines(), std::vector<std::string>({"register component_fails.dll"}))
        << "only the failing component's entry point ran";
    const UINT mode = SetErrorMode(0);
    SetErrorMode(mode);
    EXPECT_EQ(mode & SEM_FAILCRITICALERRORS, static_cast<UINT>(SEM_FAILCRITICALERRORS))
        << "critical-error boxes stay off";
}

TEST_F(Installed, ProgramsGetTheirParameterTextAndAreWaitedFor)
{
    const std::string program = Copy("recorder.exe", "recorder.exe");
    EXPECT_TRUE(job.LaunchProgram(program.c_str(), TRUE)) << "silent start";
    std::vector<std::string> lines = log->Lines();
    ASSERT_EQ(lines.size(), 1u) << "the program ran and ended before the call returned";
    EXPECT_EQ(lines[0], "run recorder.exe|  /silent|") << "silent mode passes \" /silent\"";

    EXPECT_TRUE(job.LaunchProgram(program.c_str(), FALSE)) << "normal start";
    lines = log->Lines();
    ASSERT_EQ(lines.size(), 2u) << "ran again";
    EXPECT_EQ(lines[1], "run recorder.exe|  |") << "normal mode passes one blank";
}

TEST_F(Installed, AProgramThatCannotStartReturnsAtOnce)
{
    const std::string broken = Copy("broken.exe", "broken.exe");
    BoxAnswerer answerer({});
    EXPECT_TRUE(job.LaunchProgram(broken.c_str(), FALSE)) << "a failed start still returns 1";
    EXPECT_TRUE(job.LaunchProgram((folder + "\\absent.exe").c_str(), TRUE)) << "so does a missing program";
    const std::vector<SeenBox> boxes = answerer.Finish();
    // The shell may explain the failure in a box of its own; it is not the dialog's.
    for (const SeenBox& box : boxes)
        ExpectShellsOwnBox(box);
    EXPECT_TRUE(log->Lines().empty()) << "nothing ran";
}

// ---------------------------------------------------------------------------------------
// One file put in place, called directly

class InstallOne : public Installed {
protected:
    // An item staged with bytes, to be installed at target.
    UpdateItem Staged(const std::string& bytes, const std::string& targetDir, const std::string& target,
                      const std::string& time = "20260715123456")
    {
        CreateDirectoryA((folder + "\\Update").c_str(), nullptr);
        UpdateItem item;
        item.m_strStagePath = (folder + "\\Update\\staged.bin").c_str();
        EXPECT_TRUE(WriteFileBytes(item.m_strStagePath.Str(), bytes)) << "staged file";
        item.m_strTargetDir = targetDir.c_str();
        item.m_strTargetPath = target.c_str();
        item.m_strFileTime = time.c_str();
        return item;
    }
};

TEST_F(InstallOne, TheListedLocalTimeWithDaylightSavingAndTheRestAsRead)
{
    const std::string target = folder + "\\가나\\deep\\a.dll";
    UpdateItem item = Staged(Pattern(5000, 1), folder + "\\가나\\deep", target);
    SetFileAttributesA(item.m_strStagePath, FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(job.InstallFile(item)) << "installed: " << job.m_lastErrorCode << " " << job.m_lastErrorText.Str();
    EXPECT_EQ(Content(target), Pattern(5000, 1)) << "the staged bytes, in a created folder";
    const FileTimes times = TimesOf(target);
    EXPECT_EQ(UtcText(times.modified), "2026-07-15 16:34:56") << "12:34:56 New York summer time";
    // Wine on this file system has no creation time of its own (it reports the
    // modification time), so the access time stands for the times written back as read.
    EXPECT_LT(SecondsFromNow(times.accessed), 600) << "the access time is the copy's, not the listed one";
    EXPECT_TRUE(times.attributes & FILE_ATTRIBUTE_HIDDEN) << "the copy's attributes are written back";
    EXPECT_EQ(Listing(folder + "\\가나\\deep"), Names({"a.dll"})) << "nothing else left in the folder";

    item = Staged(Pattern(70, 2), folder + "\\가나\\deep", target, "20260120080000");
    ASSERT_TRUE(job.InstallFile(item)) << "replaced";
    EXPECT_EQ(Content(target), Pattern(70, 2)) << "the new bytes";
    EXPECT_EQ(UtcText(TimesOf(target).modified), "2026-01-20 13:00:00") << "08:00 New York winter time";
    EXPECT_EQ(Listing(folder + "\\가나\\deep"), Names({"a.dll"})) << "nothing else left in the folder";
}

TEST_F(InstallOne, ShortOrImpossibleTimesKeepTheCopysTime)
{
    for (const char* time : {"202607151234", "20260230123456", ""}) {
        const std::string target = folder + "\\t.txt";
        UpdateItem item = Staged("x", folder, target, time);
        ASSERT_TRUE(job.InstallFile(item)) << "installed with time \"" << time << "\"";
        EXPECT_LT(SecondsFromNow(TimesOf(target).modified), 600) << "the copy's own time for \"" << time << "\"";
    }
    const std::string target = folder + "\\long.txt";
    UpdateItem item = Staged("y", folder, target, "20260715123456" + std::string(5000, '9'));
    ASSERT_TRUE(job.InstallFile(item)) << "a very long time text";
    EXPECT_EQ(UtcText(TimesOf(target).modified), "2026-07-15 16:34:56") << "its first 14 digits";
}

TEST_F(InstallOne, ABareNameIsCopiedIntoTheCurrentFolder)
{
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    const std::string here = folder + "\\here";
    ASSERT_TRUE(CreateDirectoryA(here.c_str(), nullptr)) << "current folder";
    ASSERT_TRUE(SetCurrentDirectoryA(here.c_str())) << "entered";
    UpdateItem item = Staged("bare bytes", "", "bare.txt");
    const BOOL installed = job.InstallFile(item);
    SetCurrentDirectoryA(previous);
    EXPECT_TRUE(installed) << "installed without a folder: " << job.m_lastErrorText.Str();
    EXPECT_EQ(Content(here + "\\bare.txt"), "bare bytes") << "in the current folder";
    EXPECT_EQ(Listing(here), Names({"bare.txt"})) << "nothing else left in the folder";
}

TEST_F(InstallOne, FolderAndCopyFailures)
{
    WriteFileBytes(folder + "\\blocker", "x");
    UpdateItem item = Staged("new", folder + "\\blocker\\sub", folder + "\\blocker\\sub\\a.txt");
    EXPECT_FALSE(job.InstallFile(item)) << "a file where the folder must be";
    EXPECT_EQ(job.m_lastErrorCode, 53) << "folder error";
    EXPECT_EQ(job.m_lastErrorText.Str(), "파일을 저장할 폴더를 생성할수 없습니다.") << "folder text";

    item = Staged("new", folder, folder + "\\b.txt");
    item.m_strStagePath = (folder + "\\Update\\absent.bin").c_str();
    Names before = Listing(folder);
    EXPECT_FALSE(job.InstallFile(item)) << "a staged file that went away";
    EXPECT_EQ(job.m_lastErrorCode, 32) << "copy error";
    EXPECT_EQ(job.m_lastErrorText.Str(), SystemText(ERROR_FILE_NOT_FOUND)) << "the system's text";
    EXPECT_FALSE(FileExists(folder + "\\b.txt")) << "nothing installed";
    EXPECT_EQ(Listing(folder), before) << "the folder as it was";

    ASSERT_TRUE(CreateDirectoryA((folder + "\\c.txt").c_str(), nullptr)) << "a folder in the target's place";
    item = Staged("new", folder, folder + "\\c.txt");
    before = Listing(folder);
    EXPECT_FALSE(job.InstallFile(item)) << "a folder cannot be replaced";
    EXPECT_EQ(job.m_lastErrorCode, 32) << "copy error";
    EXPECT_FALSE(job.m_lastErrorText.IsEmpty()) << "with a text";
    EXPECT_TRUE(IsFolder(folder + "\\c.txt")) << "the folder stays";
    EXPECT_EQ(Listing(folder), before) << "the folder as it was";
}

// A staged file swapped after the download's check (a user who can write the staging
// folder) is checked again, held against writers, right before its copy.
TEST_F(InstallOne, OnlyTheBytesTheListNamesAreInstalled)
{
    const char* const abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";  // SHA-256 of "abc"
    struct Case {
        const char* staged;
        const char* digest;
        bool installs;
        const char* what;
    };
    const Case cases[] = {
        {"abd", abc, false, "swapped after the check: refused, error 47"},
        {"abc", abc, true, "the published bytes"},
        {"anything", "", true, "an entry without a digest, as before"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(folder + "\\d.dll", "installed before"));
        UpdateItem item = Staged(c.staged, folder, folder + "\\d.dll");
        item.m_strSha256 = c.digest;
        job.ClearLastError();
        EXPECT_EQ(job.InstallFile(item) != FALSE, c.installs) << "the installation";
        EXPECT_EQ(job.m_lastErrorCode, c.installs ? 0 : 47) << "the error";
        std::string installed;
        ASSERT_TRUE(ReadWholeFile(folder + "\\d.dll", &installed));
        EXPECT_EQ(installed, c.installs ? c.staged : "installed before") << "what the target holds";
    }
}

TEST_F(InstallOne, RemovingTheStagingFolder)
{
    EXPECT_TRUE(job.RemoveStagingFolder((folder + "\\never").c_str())) << "a missing folder is 1";
    EXPECT_TRUE(job.RemoveStagingFolder("")) << "no folder at all";
    const std::string file = folder + "\\plain.txt";
    WriteFileBytes(file, "keep");
    EXPECT_TRUE(job.RemoveStagingFolder(file.c_str())) << "a file is no staging folder";
    EXPECT_TRUE(FileExists(file)) << "and is left alone";

    const std::string staging = folder + "\\Update";
    ASSERT_TRUE(CreateDirectoryA(staging.c_str(), nullptr) && CreateDirectoryA((staging + "\\가나").c_str(), nullptr));
    WriteFileBytes(staging + "\\a.dll", "a");
    WriteFileBytes(staging + "\\가나\\b.dll", "b");
    EXPECT_TRUE(job.RemoveStagingFolder(staging.c_str())) << "removed";
    EXPECT_FALSE(FileExists(staging)) << "with everything in it";
    // A link put in its place during the run: what it points at is kept.
    job.RemoveStagingFolder((FixturePath("staging-link") + "\\Update").c_str());
    std::string kept;
    EXPECT_TRUE(ReadWholeFile(FixturePath("staging-target") + "\\a.dll", &kept) && kept == "kept")
        << "nothing deleted through a link";

    // A path of 259 characters whose first 258 name a real folder: cut to fit, it would
    // delete that folder.
    const std::string shorter = folder + "\\" + std::string(257 - folder.size(), 'd');
    ASSERT_EQ(shorter.size(), 258u);
    ASSERT_TRUE(CreateDirectoryA(shorter.c_str(), nullptr)) << "the folder a cut path would name";
    EXPECT_FALSE(job.RemoveStagingFolder((shorter + "x").c_str())) << "a path that does not fit is refused";
    EXPECT_TRUE(IsFolder(shorter)) << "and nothing is deleted";
    EXPECT_TRUE(job.RemoveStagingFolder(shorter.c_str())) << "258 characters fit";
    EXPECT_FALSE(FileExists(shorter)) << "removed";
}

// ---------------------------------------------------------------------------------------
// Whole runs

struct Entry {
    std::string target;   // below "%App Path%", or a full path
    std::string bytes;    // what the server gives
    std::string version;  // the list's version field
    std::string flags;    // flag words after the time
    std::string time = "2026-07-15 12:34:56";
};

class InstallRun : public ServerSuite {
protected:
    void SetUp() override
    {
        ServerSuite::SetUp();
        if (HasFatalFailure())
            return;
        folder = ScratchFolder(TestName());
        app = folder + "\\app";
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) && CreateDirectoryA(app.c_str(), nullptr))
            << "scratch folders";
        log = std::make_unique<FixtureLog>(folder + "\\fixture.log");
    }
    void TearDown() override
    {
        log.reset();
        RemoveFolderTree(folder);
    }

    // One run of a list of entries, each served from a folder of the run's own, with the
    // boxes it shows answered in order.
    RecordedRun Run(const std::vector<Entry>& entries, std::vector<BoxAnswer> answers = {})
    {
        const std::string served = TestName() + std::to_string(++runs);
        std::string list = "[FILE PATH]\r\nInstall=" + app + "\r\n[UPDATE FILES]\r\n";
        for (const Entry& e : entries) {
            const std::string name = e.target.substr(e.target.rfind('\\') + 1);
            EXPECT_TRUE(server->PutFile(served + "/" + name, e.bytes)) << "served " << name;
            const bool full = e.target.size() > 2 && e.target[1] == ':';
            list += (full ? "" : "%App Path%\\") + e.target + "|" + e.version + "|" +
                    std::to_string(e.bytes.size()) + "|" + e.time + e.flags + "\r\n";
        }
        EXPECT_TRUE(server->PutFile(served + "/list.txt", list)) << "the list";
        dialog = std::make_unique<UpdateProgressDialog>();
        dialog->m_listUrl = server->HttpUrl("/" + served + "/list.txt").c_str();
        dialog->m_dataUrl = server->HttpUrl("/" + served).c_str();
        seen = server->Requests().size();
        BoxAnswerer answerer(std::move(answers));
        RecordedRun run = RunRecorded(*dialog);
        boxes = answerer.Finish();
        items = run.items;
        return run;
    }

    // An item as the run left it; a missing one fails the test instead of crashing it.
    const UpdateItem& Item(size_t i) const { return items.at(i); }
    std::string Target(const std::string& name) const { return app + "\\" + name; }
    std::string Stage(const std::string& name) const { return app + "\\Update\\" + name; }
    std::vector<std::string> NewRequestTargets() const
    {
        std::vector<std::string> targets;
        for (const RecordedRequest& request : NewRequests())
            targets.push_back(request.target);
        return targets;
    }
    void ExpectBox(size_t index, const std::string& caption, const std::string& text, bool question, HICON icon,
                   const RecordedRun& run) const
    {
        ASSERT_LT(index, boxes.size()) << "box " << index << " was shown";
        const SeenBox& box = boxes[index];
        EXPECT_TRUE(box.expected) << Describe(box);
        EXPECT_EQ(box.caption, caption) << "caption of box " << index;
        EXPECT_EQ(box.text, text) << "text of box " << index;
        EXPECT_EQ(box.yes && box.no && !box.ok && !box.cancel, question) << "Yes and No: " << Describe(box);
        EXPECT_EQ(box.ok && !box.yes && !box.no && !box.cancel, !question) << "OK only: " << Describe(box);
        EXPECT_EQ(box.icon, icon) << "icon of " << Describe(box);
        EXPECT_EQ(box.owner, run.window) << "owned by the dialog window: " << Describe(box);
    }

    std::string folder;
    std::string app;
    std::unique_ptr<FixtureLog> log;
    std::unique_ptr<UpdateProgressDialog> dialog;
    std::vector<SeenBox> boxes;
    std::vector<UpdateItem> items;
    int runs = 0;
};


TEST_F(InstallRun, FromTheListToInstalledFilesThenNothingToDo)
{
    const std::vector<Entry> entries = {
        {"a.dll", Pattern(120000, 1), "", ""},
        {"data\\b.txt", Pattern(3000, 2), "", "", "2026/01/20 08:00:00"},
        {"c.bin", Pattern(1, 3), "", ""},
    };
    RecordedRun run = Run(entries);
    EXPECT_EQ(run.endCode, IDOK) << "the run ends the dialog";
    EXPECT_TRUE(boxes.empty()) << "nothing asked";
    ASSERT_EQ(items.size(), 3u) << "three records";
    const char* names[] = {"a.dll", "data\\b.txt", "c.bin"};
    const char* times[] = {"2026-07-15 16:34:56", "2026-01-20 13:00:00", "2026-07-15 16:34:56"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Item(i).m_nResult, kResultInstalled) << "installed: " << names[i];
        EXPECT_EQ(Content(Target(names[i])), entries[static_cast<size_t>(i)].bytes) << "content of " << names[i];
        EXPECT_EQ(UtcText(TimesOf(Target(names[i])).modified), times[i]) << "listed time of " << names[i];
    }
    EXPECT_FALSE(FileExists(app + "\\Update")) << "the staging folder is gone";
    EXPECT_EQ(Listing(app), Names({"a.dll", "c.bin", "data"})) << "only the installed files";
    EXPECT_EQ(Listing(app + "\\data"), Names({"b.txt"})) << "only the installed file";
    bool installing = false;
    for (const Notification& note : run.notes) {
        installing |= note.message == WM_UPDATE_PROGRESS && note.runState == Installing && note.lParam == 95;
    }
    EXPECT_TRUE(installing) << "the installation step was reported at 95";

    Run(entries);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Item(i).m_nUpdateState, kNoUpdate) << "current now: " << names[i];
    }
    const std::vector<std::string> requests = NewRequestTargets();
    for (const std::string& target : requests) {
        EXPECT_NE(target.find("list.txt"), std::string::npos) << "only the list is fetched, not " << target;
    }
    EXPECT_FALSE(requests.empty()) << "the list was fetched";
}

TEST_F(InstallRun, AFileThatIsNotThePublishedOneIsNeverInstalled)
{
    // "abc" and its digest from the published test vectors; the other entry publishes a
    // digest of other bytes, as a tampered download would give.
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    ASSERT_TRUE(WriteFileBytes(Target("kept.dll"), "the installed copy"));
    RecordedRun run = Run({{"good.dll", "abc", "", "|SHA256=" + abc},
                           {"kept.dll", "abd", "", "|SHA256=" + abc},
                           {"plain.dll", "abd", "", ""},
                           {"odd.dll", "abd", "", "|SHA256=" + abc.substr(1)}});
    EXPECT_EQ(run.endCode, IDOK);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(Item(0).m_nResult, kResultInstalled) << "the matching file is installed";
    EXPECT_EQ(Content(Target("good.dll")), "abc");
    EXPECT_EQ(Item(1).m_nResult, kResultDownloadFailed) << "the other one fails its download (result 3)";
    EXPECT_EQ(Content(Target("kept.dll")), "the installed copy") << "and the installed file stays as it was";
    EXPECT_EQ(Item(2).m_nResult, kResultInstalled) << "an entry without the word: as before";
    EXPECT_EQ(Item(3).m_nResult, kResultInstalled) << "a malformed word is not a digest: as before";
    EXPECT_TRUE(boxes.empty()) << "nothing asked";
}

TEST_F(InstallRun, QuestionsAboutNewerAndReadOnlyFilesInListOrder)
{
    const std::string older = FixtureBytes("versioned_1_0_3_2.dll");
    const std::string newer = FixtureBytes("versioned_1_0_9_0.dll");
    for (const char* name : {"n1.dll", "n2.dll"}) {
        ASSERT_TRUE(WriteFileBytes(Target(name), newer)) << "newer installed";
    }
    for (const char* name : {"r1.txt", "r2.txt"}) {
        ASSERT_TRUE(WriteFileBytes(Target(name), "old")) << "installed";
        ASSERT_TRUE(SetFileAttributesA(Target(name).c_str(), FILE_ATTRIBUTE_READONLY)) << "read-only";
    }
    RecordedRun run = Run({{"n1.dll", older, "1.0.3.2", ""},
                           {"n2.dll", older, "1.0.3.2", ""},
                           {"r1.txt", Pattern(400, 4), "", ""},
                           {"r2.txt", Pattern(400, 5), "", ""},
                           {"after.txt", "after", "", ""}},
                          {{kConfirmCaption, IDYES}, {kConfirmCaption, IDNO}, {kConfirmCaption, IDYES},
                           {kConfirmCaption, IDNO}});
    ASSERT_EQ(boxes.size(), 4u) << "four questions";
    ExpectBox(0, kConfirmCaption, kNewerQuestion + Target("n1.dll"), true, QuestionIcon(), run);
    ExpectBox(1, kConfirmCaption, kNewerQuestion + Target("n2.dll"), true, QuestionIcon(), run);
    ExpectBox(2, kConfirmCaption, kReadOnlyQuestion + Target("r1.txt"), true, QuestionIcon(), run);
    ExpectBox(3, kConfirmCaption, kReadOnlyQuestion + Target("r2.txt"), true, QuestionIcon(), run);

    EXPECT_EQ(Item(0).m_nResult, kResultInstalled) << "newer, Yes: replaced";
    EXPECT_TRUE(Content(Target("n1.dll")) == older) << "the listed version is installed";
    EXPECT_EQ(Item(1).m_nResult, kResultDeclined) << "newer, No: result 7";
    EXPECT_TRUE(Content(Target("n2.dll")) == newer) << "the newer file is untouched";

    EXPECT_EQ(Item(2).m_nResult, kResultInstalled) << "read-only, Yes: replaced";
    EXPECT_EQ(Content(Target("r1.txt")), Pattern(400, 4)) << "new content";
    EXPECT_FALSE(TimesOf(Target("r1.txt")).attributes & FILE_ATTRIBUTE_READONLY) << "the copy's attributes";
    EXPECT_EQ(Item(3).m_nResult, kResultDeclined) << "read-only, No: result 7";
    EXPECT_EQ(Item(3).m_strErrorText.Str(), "업데이트 취소") << "the cancel text";
    EXPECT_EQ(Content(Target("r2.txt")), "old") << "untouched";
    EXPECT_TRUE(TimesOf(Target("r2.txt")).attributes & FILE_ATTRIBUTE_READONLY) << "still read-only";
    EXPECT_EQ(Item(4).m_nResult, kResultInstalled) << "the next item goes on";
    SetFileAttributesA(Target("r2.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(InstallRun, ATargetInUseIsReportedAndKept)
{
    ASSERT_TRUE(WriteFileBytes(Target("held.dll"), "installed"));
    Names before;
    {
        FileHolder holder(Target("held.dll"), "none");
        ASSERT_TRUE(holder.Holding()) << "another process holds the target without sharing";
        before = Listing(app);
        RecordedRun run = Run({{"held.dll", Pattern(900, 6), "", ""}, {"free.dll", "free", "", ""}},
                              {{kNoticeCaption, IDOK}});
        ExpectBox(0, kNoticeCaption, kInUseNotice + Stage("held.dll"), false, InformationIcon(), run);
        EXPECT_EQ(boxes.size(), 1u) << "one notice";
        EXPECT_EQ(Item(0).m_nResult, kResultInstallFailed) << "result 4";
        EXPECT_EQ(Item(0).m_strErrorText.Str(), SystemText(ERROR_SHARING_VIOLATION)) << "the system's text";
        EXPECT_EQ(Item(1).m_nResult, kResultInstalled) << "the next file is installed";
    }
    EXPECT_EQ(Content(Target("held.dll")), "installed") << "the installed file is intact";
    EXPECT_EQ(Listing(app), With(before, "free.dll")) << "only the installed file added";

    // The code of the failure, seen directly.
    UpdateProgressDialog job;
    UpdateItem item;
    item.m_strStagePath = (folder + "\\staged.dll").c_str();
    WriteFileBytes(item.m_strStagePath.Str(), "new");
    item.m_strTargetPath = Target("held.dll").c_str();
    FileHolder holder(Target("held.dll"), "none");
    ASSERT_TRUE(holder.Holding()) << "held again";
    BoxAnswerer answerer({{kNoticeCaption, IDOK}});
    EXPECT_FALSE(job.InstallFile(item)) << "in use";
    EXPECT_EQ(job.m_lastErrorCode, 37) << "error 37";
    EXPECT_EQ(answerer.Finish().size(), 1u) << "with the notice";
}

TEST_F(InstallRun, RegistrationComesBeforeTheStartAndAFailureStillStarts)
{
    RecordedRun run = Run({{"self_registering.exe", FixtureBytes("self_registering.exe"), "", "|REG|RUN"},
                           {"component_fails.dll", FixtureBytes("component_fails.dll"), "", "|REG"},
                           {"rec2.exe", FixtureBytes("recorder.exe"), "", "|REG |RUN"},
                           {"broken.exe", FixtureBytes("broken.exe"), "", "|RUN"},
                           {"quiet.exe", FixtureBytes("recorder.exe"), "", "|RUNSILENT"},
                           {"component_false.ocx", FixtureBytes("component_false.ocx"), "", "|UNREG"}});
    EXPECT_EQ(run.endCode, IDOK) << "the run ends";
    for (const SeenBox& box : boxes)
        ExpectShellsOwnBox(box);
    EXPECT_EQ(log->Lines(), std::vector<std::string>({"register self_registering.exe", "run self_registering.exe|  |",
                                                      "register component_fails.dll", "run rec2.exe|  |",
                                                      "run quiet.exe|  /silent|", "register component_false.ocx"}))
        << "registered, then started, file by file in list order";
    EXPECT_EQ(Item(0).m_nResult, kResultInstalled) << "registered and started";
    EXPECT_EQ(Item(1).m_nResult, kResultRegisterFailed) << "failed registration is 5";
    EXPECT_EQ(Item(2).m_nResult, kResultRegisterFailed) << "a program without the entry point is 5";
    EXPECT_TRUE(FileExists(Target("rec2.exe"))) << "and stays installed";
    EXPECT_EQ(Item(3).m_nResult, kResultInstalled) << "a program that cannot start is still installed";
    EXPECT_EQ(Item(4).m_nResult, kResultInstalled) << "the installation went on after it";
    EXPECT_EQ(Item(5).m_nResult, kResultInstalled) << "\"|UNREG\" registers too";
}

// A real full disk: the small tmpfs that ctest maps to VEXA_SMALL_DISK.
TEST_F(InstallRun, AFullDiskKeepsTheInstalledFileByteForByte)
{
    const char* drive = std::getenv("VEXA_SMALL_DISK");
    ASSERT_NE(drive, nullptr) << "VEXA_SMALL_DISK names the small disk (ctest mounts it)";
    const std::string root = std::string(drive) + "\\";
    ASSERT_TRUE(IsFolder(root)) << "the small disk is mapped at " << root;
    const std::string full = root + "full", fill = root + "fill";
    RemoveFolderTree(full);
    RemoveFolderTree(fill);
    ASSERT_TRUE(CreateDirectoryA(full.c_str(), nullptr) && CreateDirectoryA(fill.c_str(), nullptr));
    const std::string installed = Pattern(300000, 7);
    ASSERT_TRUE(WriteFileBytes(full + "\\big.dll", installed)) << "the installed module";
    // Filled up, then about 128 KiB given back: less room than the new copy needs.
    int pieces = 0;
    while (pieces < 64 && WriteFileBytes(fill + "\\" + std::to_string(pieces), std::string(65536, 'f')))
        ++pieces;
    ASSERT_LT(pieces, 64) << "the disk fills up";
    for (int i = pieces; i > pieces - 3 && i >= 0; --i)
        DeleteFileA((fill + "\\" + std::to_string(i)).c_str());
    ULARGE_INTEGER free = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &free, nullptr, nullptr)) << "free space";
    const std::string update = Pattern(400000, 8);
    ASSERT_LT(free.QuadPart, update.size()) << "too little room for the new copy";
    ASSERT_GT(free.QuadPart, 0u) << "but some";

    RecordedRun run = Run({{full + "\\big.dll", update, "", ""}}, {{kNoticeCaption, IDOK}});
    ExpectBox(0, kNoticeCaption, kDiskFullNotice, false, WarningIcon(), run);
    EXPECT_EQ(dialog->m_lastErrorCode, 32) << "code 32";
    EXPECT_EQ(Item(0).m_nResult, kResultInstallFailed) << "result 4";
    EXPECT_EQ(Item(0).m_strErrorText.Str(), SystemText(ERROR_DISK_FULL)) << "the system's text";
    EXPECT_TRUE(Content(full + "\\big.dll") == installed) << "the installed file is unchanged byte for byte";
    EXPECT_EQ(Listing(full), Names({"big.dll"})) << "nothing left on the full disk";
    RemoveFolderTree(full);
    RemoveFolderTree(fill);
}

}  // namespace
