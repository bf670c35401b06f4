// Counting, the staging folder and the download of each file, against the local test
// server; the files are checked on disk.
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/run_folders.h"
#include "framework/sha256_hash.h"
#include "tests/run_recorder.h"
#include "tests/support/test_files.h"
#include "tests/support/server_suite.h"
#include "ui/progress_dialog.h"

namespace {

const char* const kGenericFailure = "파일을 다운받는중에 예외가 발생했습니다.";
const char* const kNotOnServer = "서버에 다운로드할 파일이 존재하지 않습니다.";

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return bytes;
}

UpdateItem Item(const std::string& name, int state)
{
    UpdateItem item;
    item.m_strFileName = name.c_str();
    item.m_nUpdateState = state;
    return item;
}

TEST(Counting, SkipsTheOwnModuleInAnyCaseAndCountsWhatIsToUpdate)
{
    UpdateProgressDialog job;
    job.m_moduleName = "VexaUpdater.ocx";
    job.AddUpdateItem(Item("vexaupdater.OCX", kUpdateFile));
    job.AddUpdateItem(Item("a.dll", kUpdateFile));
    job.AddUpdateItem(Item("b.dll", kNoUpdate));
    job.AddUpdateItem(Item("c.dll", kInstalledNewer));
    job.AddUpdateItem(Item("VEXAUPDATER.ocx", kInstalledNewer));
    EXPECT_TRUE(job.CountUpdates()) << "counting always succeeds";
    EXPECT_EQ(job.m_items.GetAt(0)->m_nUpdateState, kNoUpdate) << "the module's own file is taken out";
    EXPECT_EQ(job.m_items.GetAt(4)->m_nUpdateState, kNoUpdate) << "in any letter case";
    EXPECT_EQ(job.m_items.GetAt(1)->m_nUpdateState, kUpdateFile) << "others keep their state";
    EXPECT_EQ(job.m_downloadTotal, 2) << "states 1 and 5 count";
    EXPECT_EQ(job.m_updateCount, 2) << "the count is kept for the end of the run";
    EXPECT_TRUE(job.m_updateNeeded) << "something to do";
}

TEST(Counting, NothingToUpdateAndAnEmptySlot)
{
    UpdateProgressDialog job;
    job.m_moduleName = "VexaUpdater.ocx";
    job.AddUpdateItem(Item("a.dll", kNoUpdate));
    EXPECT_TRUE(job.CountUpdates());
    EXPECT_EQ(job.m_downloadTotal, 0) << "nothing counted";
    EXPECT_EQ(job.m_updateCount, 0) << "nothing to report";
    EXPECT_FALSE(job.m_updateNeeded) << "nothing to do";

    job.m_items.SetAtGrow(1, nullptr);
    job.m_items.SetAtGrow(2, new UpdateItem(Item("late.dll", kUpdateFile)));
    EXPECT_TRUE(job.CountUpdates());
    EXPECT_EQ(job.m_downloadTotal, 0) << "an empty slot ends the walk";
}

TEST(StagingFolder, CreatedWithEveryMissingFolderAbove)
{
    const std::string root = ScratchFolder("staging");
    UpdateProgressDialog job;
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr)) << "scratch folder";
    job.m_stagingFolder = (root + "\\가나\\deep\\Update").c_str();
    EXPECT_TRUE(job.CreateStagingFolder()) << "partly existing path";
    EXPECT_TRUE(IsFolder(root + "\\가나\\deep\\Update")) << "every level exists";
    EXPECT_EQ(job.m_lastErrorCode, 0) << "no error";

    job.m_stagingFolder = (root + "\\trailing\\Update\\").c_str();
    EXPECT_TRUE(job.CreateStagingFolder()) << "a trailing backslash";
    EXPECT_TRUE(IsFolder(root + "\\trailing\\Update")) << "created";

    ASSERT_TRUE(WriteFileBytes(root + "\\blocker", "x")) << "a file in the way";
    job.m_stagingFolder = (root + "\\blocker\\Update").c_str();
    EXPECT_FALSE(job.CreateStagingFolder()) << "a file where a folder must be";
    EXPECT_EQ(job.m_lastErrorCode, 53) << "error code";
    EXPECT_EQ(job.m_lastErrorText.Str(), "파일을 저장할 폴더를 생성할수 없습니다.") << "error text";

    // Made fresh each run: what an earlier run (or anyone) left there is gone; a link or a
    // file in its place is refused, and what it points at is left alone.
    ASSERT_TRUE(CreateDirectoryA((root + "\\left").c_str(), nullptr) &&
                CreateDirectoryA((root + "\\left\\Update").c_str(), nullptr) &&
                WriteFileBytes(root + "\\left\\Update\\a.dll", "planted"));
    ASSERT_TRUE(CreateDirectoryA((root + "\\filed").c_str(), nullptr) && WriteFileBytes(root + "\\filed\\Update", "x"));
    const char* const refused = "업데이트 폴더가 연결 지점이거나 파일입니다.";
    struct Case {
        std::string parent;
        bool made;
        const char* text;
    };
    const Case cases[] = {
        {root + "\\left", true, ""},
        {FixturePath("staging-link"), false, refused},
        {root + "\\filed", false, refused},
    };
    for (const Case& c : cases) {
        job.m_stagingFolder = (c.parent + "\\Update").c_str();
        EXPECT_EQ(job.CreateStagingFolder() != FALSE, c.made) << c.parent;
        EXPECT_EQ(job.m_lastErrorText.Str(), c.text) << c.parent;
    }
    EXPECT_FALSE(FileExists(root + "\\left\\Update\\a.dll")) << "the folder left from before was made anew";
    std::string kept;
    EXPECT_TRUE(ReadWholeFile(FixturePath("staging-target") + "\\a.dll", &kept) && kept == "kept")
        << "a link's target untouched";
    // An administrator's (the elevated helper's) folder: only administrators and the system
    // may write. Wine keeps no permissions on files, so the descriptor asked for is read.
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(kElevatedStagingFolderSddl, SDDL_REVISION_1,
                                                                         &descriptor, nullptr));
        BOOL present = FALSE, defaulted = FALSE;
        ACL* dacl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present && dacl);
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
        EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited";
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
            char* sid = nullptr;
            ASSERT_TRUE(ConvertSidToStringSidA(&ace->SidStart, &sid));
            const std::string who = sid;
            LocalFree(sid);
            const bool writes = (ace->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | GENERIC_ALL)) != 0;
            EXPECT_TRUE(!writes || who == "S-1-5-18" || who == "S-1-5-32-544") << who << " may write";
        }
        LocalFree(descriptor);
    }

    const std::string longPath = root + "\\" + std::string(300 - root.size(), 'x');
    EXPECT_FALSE(job.MakeDirectoryPath(longPath.c_str())) << "a path the shell cannot take fails";
    EXPECT_FALSE(FileExists(longPath.substr(0, MAX_PATH - 1))) << "and is not cut into a shorter one";
    EXPECT_FALSE(job.MakeDirectoryPath("")) << "an empty path";
    RemoveFolderTree(root);
}

class Download : public ServerSuite {
protected:
    void SetUp() override
    {
        ServerSuite::SetUp();
        if (HasFatalFailure())
            return;
        folder = ScratchFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << "scratch folder";
        // Retries wait milliseconds here, not seconds (a server's Retry-After still counts).
        job.m_retryBaseMs = 10;
    }
    void TearDown() override { RemoveFolderTree(folder); }

    BOOL Fetch(const std::string& url, const std::string& name)
    {
        return job.DownloadFile(url.c_str(), (folder + "\\" + name).c_str());
    }
    std::string Local(const std::string& name) const { return folder + "\\" + name; }

    std::string folder;
    UpdateProgressDialog job;
};


TEST_F(Download, HttpFileArrivesWholeWithTheRequestShapesOfTheList)
{
    const std::string bytes = Pattern(300000);
    ASSERT_TRUE(server->PutFile("files/a.dll", bytes));
    EXPECT_TRUE(Fetch(server->HttpUrl("/files/a.dll"), "a.dll")) << "the download succeeds";
    std::string stored;
    ASSERT_TRUE(ReadWholeFile(Local("a.dll"), &stored)) << "the staged file exists";
    EXPECT_TRUE(stored == bytes) << "byte for byte";
    EXPECT_EQ(job.m_lastErrorCode, 0) << "no error";

    const std::vector<RecordedRequest> requests = NewRequests();
    ASSERT_EQ(requests.size(), 2u) << "the probe and the download";
    EXPECT_EQ(requests[0].HeaderValue("User-Agent"), "Updater") << "the probe's agent";
    EXPECT_EQ(requests[1].method, "GET") << "http by GET";
    EXPECT_EQ(requests[1].HeaderValue("User-Agent"), "download_tests") << "the module's name is the agent";
    ASSERT_NE(requests[1].FindHeader("Content-Type"), nullptr) << "the form header";
    EXPECT_EQ(requests[1].FindHeader("Content-Type")->rawLength, 49u) << "49 bytes";
}

TEST_F(Download, HttpsFileArrivesByPost)
{
    const std::string bytes = Pattern(70000);
    ASSERT_TRUE(server->PutFile("files/s.ocx", bytes));
    EXPECT_TRUE(Fetch(server->HttpsUrl("/files/s.ocx"), "s.ocx"))
        << "the download succeeds: " << job.m_lastErrorCode << " " << job.m_lastErrorText.Str();
    std::string stored;
    ASSERT_TRUE(ReadWholeFile(Local("s.ocx"), &stored)) << "the staged file exists";
    EXPECT_TRUE(stored == bytes) << "byte for byte";
    const std::vector<RecordedRequest> requests = NewRequests();
    ASSERT_EQ(requests.size(), 2u) << "the probe and the download";
    EXPECT_EQ(requests[1].method, "POST") << "https by POST";
    EXPECT_EQ(requests[1].body, "") << "an empty body";
}

TEST_F(Download, StatusesAndWhichErrorSurvives)
{
    EXPECT_FALSE(Fetch(server->HttpUrl("/status/500/e.dll"), "e.dll")) << "500 fails";
    EXPECT_EQ(job.m_lastErrorCode, 41) << "500 is 41";
    job.ClearLastError();
    EXPECT_FALSE(Fetch(server->HttpUrl("/status/404/e.dll"), "e.dll")) << "404 fails";
    EXPECT_EQ(job.m_lastErrorCode, 11) << "404 is 11";
    EXPECT_FALSE(Fetch(server->HttpUrl("/status/403/e.dll"), "e.dll")) << "403 fails";
    EXPECT_EQ(job.m_lastErrorCode, 11) << "a later 403 keeps the earlier error";
    EXPECT_EQ(job.m_lastErrorText.Str(), kNotOnServer) << "and its text";
    job.ClearLastError();
    EXPECT_FALSE(Fetch(server->HttpUrl("/status/403/e.dll"), "e.dll")) << "403 fails";
    EXPECT_EQ(job.m_lastErrorCode, 45) << "another status with no earlier error is 45";
    EXPECT_EQ(job.m_lastErrorText.Str(), kGenericFailure) << "with the generic text";
    EXPECT_FALSE(FileExists(Local("e.dll"))) << "no file is made for a refused download";
}

// A whole run up to the installation: the list, the check, counting, staging and the
// downloads, with the percents the window is sent.
// Digests from the published test vectors (FIPS 180-2): "abc" and a million "a".
const char* const kSha256Abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const char* const kSha256MillionA = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

TEST_F(Download, APublishedDigestKeepsOnlyTheBytesItNames)
{
    ASSERT_TRUE(server->PutFile("files/abc.dll", "abc"));
    ASSERT_TRUE(server->PutFile("files/many.bin", std::string(1000000, 'a')));
    struct Case {
        std::string path;
        std::string digest;  // what the entry publishes; empty: no word
        bool kept;
        int code;
        const char* what;
    };
    const Case cases[] = {
        {"/files/abc.dll", kSha256Abc, true, 0, "the digest matches"},
        {"/files/many.bin", kSha256MillionA, true, 0, "a match over four reads"},
        {"/files/abc.dll", "", true, 0, "no digest: kept as before"},
        {"/tamper/files/many.bin", kSha256MillionA, false, 47, "bytes changed on the way: refused"},
        {"/files/abc.dll", kSha256MillionA, false, 47, "a digest of other bytes: refused"},
        {"/tamper/files/many.bin", "", true, 0, "without a digest, changed bytes go unnoticed, as before"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA(Local("staged").c_str());
        job.m_lastErrorCode = 0;
        EXPECT_EQ(job.DownloadFile(server->HttpUrl(c.path).c_str(), Local("staged").c_str(), c.digest.c_str()) != FALSE,
                  c.kept)
            << "the download's result";
        EXPECT_EQ(FileExists(Local("staged")), c.kept) << "a refused file is not left staged";
        EXPECT_EQ(job.m_lastErrorCode, c.code) << "the error";
        if (c.code == 47) {
            EXPECT_EQ(job.m_lastErrorText.Str(), "다운받은 파일이 손상되었거나 변조되었습니다.") << "its text";
        }
    }
}

// Run by its own entry, with the system's cryptography provider disabled.
class DownloadWithoutProvider : public Download {};

TEST_F(DownloadWithoutProvider, ADigestThatCannotBeComputedRefusesTheFileAndSaysWhy)
{
    ASSERT_FALSE(Sha256Hash().IsOpen()) << "the provider is really unavailable to this program";
    ASSERT_TRUE(server->PutFile("files/abc.dll", "abc"));
    const std::string url = server->HttpUrl("/files/abc.dll");
    EXPECT_FALSE(job.DownloadFile(url.c_str(), Local("staged").c_str(), kSha256Abc)) << "refused";
    EXPECT_EQ(NewRequests().size(), 0u) << "refused before any request, the size probe too";
    EXPECT_FALSE(FileExists(Local("staged"))) << "nothing staged";
    EXPECT_EQ(job.m_lastErrorCode, 47) << "the digest's error";
    EXPECT_EQ(job.m_lastErrorText.Str(), "파일의 무결성을 확인할 수 없습니다.") << "naming the check, not tampering";
    EXPECT_TRUE(job.DownloadFile(url.c_str(), Local("staged").c_str(), "")) << "a file without a digest still comes";
}

class DownloadRun : public Download {
protected:
    // Each run serves its files from a folder of its own, under names of its own: the
    // files of an earlier run are installed and current.
    RecordedRun Run(int files, const std::vector<int>& missing = {})
    {
        const std::string served =
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + std::to_string(++runs);
        std::string list = "[FILE PATH]\r\nInstall=" + folder + "\\app\r\n[UPDATE FILES]\r\n";
        for (int i = 0; i < files; ++i) {
            const std::string name = "r" + std::to_string(runs) + "m" + std::to_string(i) + ".txt";
            bool absent = false;
            for (int m : missing)
                absent |= m == i;
            if (!absent) {
                EXPECT_TRUE(server->PutFile(served + "/" + name, Pattern(1000 + i))) << "served file";
            }
            list += "%App Path%\\" + name + " | | " + std::to_string(1000 + i) + " | 2026-01-01 10:00:00\r\n";
        }
        EXPECT_TRUE(server->PutFile(served + "/list.txt", list)) << "the list";
        dialog.m_listUrl = server->HttpUrl("/" + served + "/list.txt").c_str();
        dialog.m_dataUrl = server->HttpUrl("/" + served).c_str();
        return RunRecorded(dialog);
    }

    // The percents of the per-file notifications after the download step's opening one.
    static std::vector<LPARAM> FilePercents(const RecordedRun& run)
    {
        std::vector<LPARAM> percents;
        bool downloading = false;
        for (const Notification& note : run.notes) {
            if (note.message != WM_UPDATE_PROGRESS)
                continue;
            if (downloading && note.lParam >= 95)
                break;
            if (downloading)
                percents.push_back(note.lParam);
            if (note.runState == Downloading && note.lParam == 25 && !downloading)
                downloading = true;
        }
        return percents;
    }

    UpdateProgressDialog dialog;
    int runs = 0;
};

TEST_F(DownloadRun, PercentsForOneAndThreeFiles)
{
    RecordedRun run = Run(1);
    EXPECT_EQ(FilePercents(run), std::vector<LPARAM>({90})) << "one file: 25 + 65";
    std::string stored;
    EXPECT_TRUE(ReadWholeFile(folder + "\\app\\r1m0.txt", &stored)) << "downloaded and installed";
    EXPECT_EQ(stored, Pattern(1000)) << "its content";
    EXPECT_FALSE(FileExists(folder + "\\app\\Update")) << "the staging folder is gone after the run";

    run = Run(3);
    EXPECT_EQ(FilePercents(run), std::vector<LPARAM>({46, 67, 88})) << "three files: steps of 21";
}

TEST_F(DownloadRun, TheWindowShowsARetryAndTheFileStillComes)
{
    dialog.m_retryBaseMs = 10;
    // The run's files answer 503 once each before they come.
    const std::string served = std::string("retry") + std::to_string(runs + 1);
    RecordedRun run;
    {
        ASSERT_TRUE(server->PutFile(served + "/r.txt", Pattern(1000)));
        ASSERT_TRUE(server->PutFile(served + "/list.txt", "[FILE PATH]\r\nInstall=" + folder +
                                                              "\\app\r\n[UPDATE FILES]\r\n%App Path%\\r.txt||1000|\r\n"));
        dialog.m_listUrl = server->HttpUrl("/" + served + "/list.txt").c_str();
        dialog.m_dataUrl = server->HttpUrl("/fail-first/1/503/" + served).c_str();
        run = RunRecorded(dialog);
    }
    bool shown = false;
    for (const Notification& note : run.notes)
        shown |= note.message == WM_UPDATE_PROGRESS && note.wParam == PROGRESS_RETRY &&
                 note.statusText == "연결을 다시 시도하는 중입니다... (1/3)";
    EXPECT_TRUE(shown) << "the status text names the retry";
    ASSERT_EQ(run.items.size(), 1u);
    EXPECT_EQ(run.items[0].m_nResult, kResultInstalled) << "installed after the retry";
}

TEST_F(DownloadRun, PercentsForSixtySixFilesAndAfterAFailure)
{
    RecordedRun run = Run(66);
    const std::vector<LPARAM> percents = FilePercents(run);
    EXPECT_EQ(percents, std::vector<LPARAM>(66, 25)) << "more than 65 files: every file at the base";

    run = Run(3, {1});
    EXPECT_EQ(FilePercents(run), std::vector<LPARAM>({46, 67, 67})) << "after a failure the same percent again";
    ASSERT_EQ(run.items.size(), 3u) << "three items";
    const int results[] = {kResultInstalled, kResultDownloadFailed, kResultInstalled};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(run.items[i].m_nResult, results[i]) << "file " << i << ": the missing one fails, the next still installs";
    std::string stored;
    EXPECT_TRUE(ReadWholeFile(folder + "\\app\\r" + std::to_string(runs) + "m2.txt", &stored) && stored == Pattern(1002))
        << "the file after the failure is installed";
    EXPECT_FALSE(FileExists(folder + "\\app\\r" + std::to_string(runs) + "m1.txt")) << "the missing one is not";
}

// A body that stalls half-way ends the file with the system's text for a timeout (error 45);
// a body longer than the probed length is refused at its first read past it.
TEST_F(Download, StallsAndOverlongBodiesAreBounded)
{
    ASSERT_TRUE(server->PutFile("files/stalls.bin", Pattern(200000)));
    ASSERT_TRUE(server->PutFile("files/huge.bin", Pattern(6 * 1024 * 1024)));
    const DWORD bound = 500;
    job.m_networkTimeoutMs = bound;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(Fetch(server->HttpUrl("/stall-body/20/files/stalls.bin"), "stalls.bin")) << "a stalled body fails";
    // Each try within the bound and a half, and the backoff of milliseconds between them.
    EXPECT_LT(GetTickCount() - start, (kMaxRetries + 2) * bound * 3 / 2 + 1000) << "bounded by the timeout, not by the server's 20 s stall";
    EXPECT_EQ(job.m_lastErrorCode, 45) << "error 45";
    EXPECT_EQ(job.m_lastErrorText.Str(), WininetText(ERROR_INTERNET_TIMEOUT))
        << "the system's text for a timeout";
    std::string stored;
    EXPECT_TRUE(Fetch(server->HttpUrl("/files/stalls.bin"), "stalls.bin")) << "served honestly, under the same bound";
    EXPECT_TRUE(ReadWholeFile(Local("stalls.bin"), &stored) && stored == Pattern(200000)) << "it comes whole";
    job.m_networkTimeoutMs = 30000;
    job.ClearLastError();
    EXPECT_FALSE(Fetch(server->HttpUrl("/probe-says/1000/files/huge.bin"), "huge.bin")) << "a body past the probed length";
    EXPECT_FALSE(FileExists(Local("huge.bin"))) << "refused and not left staged";
    EXPECT_TRUE(Fetch(server->HttpUrl("/files/huge.bin"), "huge.bin")) << "the same file with its true length";
    EXPECT_TRUE(ReadWholeFile(Local("huge.bin"), &stored) && stored == Pattern(6 * 1024 * 1024)) << "it comes whole";
}

// A read takes what has arrived and never waits for a fuller buffer: over a line that
// delivers in bursts, no read asks for more than was reported available.
TEST_F(Download, ReadsTakeOnlyWhatHasArrived)
{
    const std::string bytes = Pattern(200000);
    ASSERT_TRUE(server->PutFile("files/bursts.bin", bytes));
    const unsigned long before = ReadsNoted();
    EXPECT_TRUE(Fetch(server->HttpUrl("/burst/40000/200/files/bursts.bin"), "bursts.bin"));
    std::string stored;
    EXPECT_TRUE(ReadWholeFile(Local("bursts.bin"), &stored) && stored == bytes) << "it comes whole";
    const std::vector<ReadRecord> reads = LastReads();
    const size_t count = ReadsNoted() - before;
    ASSERT_LE(count, reads.size()) << "every read of this download kept";
    unsigned long long got = 0;
    size_t filled = 0;
    for (size_t i = reads.size() - count; i < reads.size(); ++i) {
        const ReadRecord& r = reads[i];
        SCOPED_TRACE(i);
        EXPECT_LE(r.asked, r.available) << "asks only for what is there";
        EXPECT_TRUE(r.flags & IRF_NO_WAIT) << "and does not wait";
        EXPECT_LE(r.got, r.asked);
        got += r.got;
        filled += r.got != 0;
    }
    EXPECT_GE(got, bytes.size()) << "every byte came through a recorded read";
    EXPECT_GE(filled, 5u) << "one read at least per burst";
}

// Transient failures are tried again (at most three more times, after the server's
// Retry-After when it gives one); a 404 is not; when every try fails, the first failure's
// code stays.
TEST_F(Download, TransientFailuresAreTriedAgain)
{
    struct Case {
        std::string path;
        bool fetched;
        size_t fetches;
        int code;
        DWORD atLeastMs;
        const char* range;  // the last request's Range (with If-Range); null: the whole file asked
        int lastStatus;     // what the server answered it
        const char* what;
    };
    const Case cases[] = {
        {"/fail-first/1/503/files/t1.bin", true, 2, 0, 900, nullptr, 200, "503 with Retry-After: 1, then the file"},
        {"/cut-first/1/5000/files/t2.bin", true, 2, 0, 0, "bytes=5000-", 206, "cut mid-file, then resumed"},
        {"/cut-first/1/5000/no-range/files/t5.bin", true, 2, 0, 0, "bytes=5000-", 200, "cut, then a server that ignores Range"},
        {"/cut-every/5000/files/t6.bin", true, 4, 0, 0, "bytes=15000-", 206, "cut every 5000 bytes: each try goes on from the last"},
        {"/cut-every/100/files/t7.bin", false, 1 + kMaxReconnects + kMaxRetries, 0, 0, "bytes=6700-", 206,
         "cut every 100 bytes: the reconnections and then the retries run out"},
        {"/status/404/files/t3.bin", false, 1, 11, 0, nullptr, 404, "404: one request"},
        {"/fail-first/9/500/files/t4.bin", false, 4, 41, 2700, nullptr, 500, "500 every time: four tries, the first code"},
    };
    for (const char* name : {"t1.bin", "t2.bin", "t3.bin", "t4.bin", "t5.bin", "t6.bin", "t7.bin"})
        ASSERT_TRUE(server->PutFile(std::string("files/") + name, Pattern(20000)));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        job.ClearLastError();
        job.m_retryWaitedMs = 0;
        seen = server->Requests().size();
        const DWORD start = GetTickCount();
        EXPECT_EQ(Fetch(server->HttpUrl(c.path), "t.bin") != FALSE, c.fetched) << "the download";
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_EQ(job.m_lastErrorCode, c.code) << "the error";
        size_t fetches = 0;
        for (const RecordedRequest& r : NewRequests())
            fetches += r.HeaderValue("User-Agent") != "Updater";
        EXPECT_EQ(fetches, c.fetches) << "requests for the file";
        EXPECT_GE(elapsed, c.atLeastMs) << "the server's Retry-After was waited for";
        if (c.fetched) {
            std::string stored;
            EXPECT_TRUE(ReadWholeFile(Local("t.bin"), &stored) && stored == Pattern(20000)) << "byte for byte";
        }
        const std::vector<RecordedRequest> requests = NewRequests();
        ASSERT_FALSE(requests.empty());
        const RecordedRequest& last = requests.back();
        EXPECT_EQ(last.HeaderValue("Range"), c.range ? c.range : "") << "the rest is asked for, or the whole file";
        EXPECT_EQ(last.HeaderValue("If-Range") != "", c.range != nullptr) << "of the same version of the file";
        EXPECT_EQ(last.status, c.lastStatus) << "a range is sent alone, unless the server ignores it";
    }
    // With a published digest, a file that comes in four pieces is checked whole.
    ASSERT_TRUE(server->PutFile("files/many.bin", std::string(1000000, 'a')));
    const std::string pieces = server->HttpUrl("/cut-every/250000/files/many.bin");
    EXPECT_TRUE(job.DownloadFile(pieces.c_str(), Local("d.bin").c_str(), kSha256MillionA))
        << "the pieces make the published file: " << job.m_lastErrorCode << " " << job.m_lastErrorText.Str();
    EXPECT_FALSE(job.DownloadFile(pieces.c_str(), Local("d.bin").c_str(), kSha256Abc)) << "and another digest refuses them";
}

// A download that fails before or during the transfer, one row each: the error recorded
// (none where the list's entry is simply not fetched), what is left staged, and the
// requests the server saw.
TEST_F(Download, FailuresBeforeAndDuringTheTransfer)
{
    ASSERT_TRUE(server->PutFile("files/c.dll", Pattern(5000)));
    ASSERT_TRUE(server->PutFile("files/empty.dll", ""));
    ASSERT_TRUE(server->PutFile("files/d.dll", Pattern(20000)));
    const std::string unmade = folder + "\\missing\\f.dll";
    struct Case {
        std::string url;
        std::string target;  // empty: the staged file "staged", which holds "old" before
        int code;
        const char* text;    // null: not looked at (a system text naming the file)
        bool oldKept;        // the staged file keeps its old bytes; else it is gone
        size_t requests;
        const char* what;
    };
    const Case cases[] = {
        {server->HttpUrl("/chunked/files/c.dll"), "", 0, "", true, 1, "no length at the probe: not requested"},
        {server->HttpUrl("/files/empty.dll"), "", 0, "", true, 1, "an empty file: not requested"},
        {server->HttpUrl("/short/files/d.dll"), "", 0, "", false, 6,
         "a body that ends before its length: cut short, so tried again (the probe and five fetches)"},
        {server->HttpUrl("/probe-says/25000/files/d.dll"), "", 0, "", false, 2, "shorter than the probe said"},
        {server->HttpUrl("/probe-says/15000/files/d.dll"), "", 0, "", false, 2, "longer than the probe said"},
        {server->HttpUrl("/files/c.dll"), unmade, 10, nullptr, true, 2, "a local file that cannot be made: 10"},
        {"ftp://127.0.0.1:" + std::to_string(server->HttpPort()) + "/files/a.dll", "", 43, "서버주소가 올바르지 않습니다.",
         true, 0, "another scheme: refused before any request"},
        {"no scheme/a.dll", "", 43, "서버주소가 올바르지 않습니다.", true, 0, "no scheme: refused before any request"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(Local("staged"), "old")) << "a file already staged";
        job.ClearLastError();
        seen = server->Requests().size();
        const std::string target = c.target.empty() ? Local("staged") : c.target;
        EXPECT_FALSE(job.DownloadFile(c.url.c_str(), target.c_str())) << "the download fails";
        EXPECT_EQ(job.m_lastErrorCode, c.code) << "the error";
        if (c.text) {
            EXPECT_EQ(job.m_lastErrorText.Str(), c.text) << "its text";
        } else {
            EXPECT_NE(job.m_lastErrorText.Str().find(target), std::string::npos) << "the text names the file";
            EXPECT_GT(job.m_lastErrorText.GetLength(), static_cast<int>(target.size()) + 2) << "and gives a cause";
        }
        std::string stored;
        EXPECT_EQ(ReadWholeFile(Local("staged"), &stored) && stored == "old", c.oldKept) << "the staged file";
        EXPECT_EQ(NewRequests().size(), c.requests) << "requests made";
    }
}

}  // namespace
