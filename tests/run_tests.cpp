// Whole runs on a real dialog window, with steps whose results the test decides.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/run_recorder.h"
#include "tests/scripted_steps.h"
#include "ui/progress_dialog.h"

namespace {

const char* const kPreparing = "업데이트 작업 준비중...";
const char* const kFetching = "업데이트 항목 전송중...";
const char* const kChecking = "업데이트 항목 체크중...";
const char* const kDownloading = "결제 모듈 다운로드중...";
const char* const kInstalling = "결제 모듈 업데이트 중...";
const char* const kCompleted = "업데이트 완료.";
const char* const kUpToDate = "이미 최신버전입니다.";

struct Expected {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int runState;
    const char* text;
    int shown;
};

constexpr Expected Progress(WPARAM w, LPARAM l, int state, const char* text, int shown)
{
    return {WM_UPDATE_PROGRESS, w, l, state, text, shown};
}

void ExpectSequence(const RecordedRun& run, const std::vector<Expected>& expected)
{
    ASSERT_EQ(run.notes.size(), expected.size()) << "number of notifications";
    for (size_t i = 0; i < expected.size(); ++i) {
        const Notification& got = run.notes[i];
        const Expected& want = expected[i];
        SCOPED_TRACE("notification " + std::to_string(i + 1));
        EXPECT_EQ(got.message, want.message) << "message";
        EXPECT_EQ(got.wParam, want.wParam) << "wParam";
        EXPECT_EQ(got.lParam, want.lParam) << "lParam";
        EXPECT_EQ(got.runState, want.runState) << "run state after handling";
        if (want.text) {
            EXPECT_EQ(got.statusText, want.text) << "status text";
        }
        EXPECT_EQ(got.shownPercent, want.shown) << "shown percent";
    }
}

// The five notifications every run that gets past the version check starts with.
std::vector<Expected> UpToCounting()
{
    return {
        Progress(PROGRESS_STEP, 0, Preparing, kPreparing, 0),
        Progress(PROGRESS_STEP, 0, FetchingList, kFetching, 0),
        Progress(PROGRESS_STEP, 5, ParsingList, kChecking, 5),
        Progress(PROGRESS_STEP, 8, CheckingVersions, kChecking, 8),
        Progress(PROGRESS_STEP, 10, CountingUpdates, kChecking, 10),
    };
}

bool NeverSized(const RecordedRun& run)
{
    for (const Notification& n : run.notes)
        if (n.windowWidth != 0 || n.windowHeight != 0)
            return false;
    return true;
}

class RunTest : public testing::Test {
protected:
    void SetUp() override
    {
        Script() = StepScript();
        ASSERT_FALSE(UpdateProgressDialog::IsNtVersion6()) << "these runs need a system other than NT 6.x";
    }
    UpdateProgressDialog dialog;
};

class StepFailure : public RunTest, public testing::WithParamInterface<Step> {};

}  // namespace

TEST_P(StepFailure, EndsRightAfterTheFailingStepWithoutShowingTheWindow)
{
    Script().failAt = GetParam();
    Script().filesToDownload = 2;
    const RecordedRun run = RunRecorded(dialog);

    std::vector<Expected> expected = UpToCounting();
    const int reached = GetParam() == Step::Fetch ? 2 : GetParam() == Step::Parse ? 3 : 4;
    expected.resize(reached);
    const LPARAM lastProgress = expected.back().lParam;
    // Counting never ran, so the final shown percent is 0 whatever lParam says.
    expected.push_back({WM_UPDATE_FINISHED, 0, lastProgress, expected.back().runState, nullptr, 0});
    ExpectSequence(run, expected);

    EXPECT_EQ(run.endCode, IDOK) << "the dialog ends with IDOK after a failure";
    EXPECT_TRUE(NeverSized(run)) << "the window never gets a size";
    EXPECT_FALSE(dialog.m_handedOver) << "a failed run hands nothing over";
    EXPECT_EQ(Script().stepsRun.back(), GetParam()) << "no step after the failing one runs";
    EXPECT_EQ(dialog.m_items.GetCount(), 0) << "the items are released at the end";
}

INSTANTIATE_TEST_SUITE_P(FirstThreeSteps, StepFailure, testing::Values(Step::Fetch, Step::Parse, Step::Check),
                         [](const testing::TestParamInfo<Step>& info) { return std::string(StepName(info.param)); });

TEST_F(RunTest, FailedRunKeepsTheErrorOfItsStep)
{
    Script().failAt = Step::Parse;
    RunRecorded(dialog);
    EXPECT_EQ(dialog.m_lastErrorCode, 46) << "the parse step's code survives the end of the run";
    Script() = StepScript();
    Script().failAt = Step::Check;
    RunRecorded(dialog);
    EXPECT_EQ(dialog.m_lastErrorCode, 0) << "a failing version check leaves the error cleared";
}

TEST_F(RunTest, NothingToUpdateShowsUpToDateAndEndsWithTen)
{
    const RecordedRun run = RunRecorded(dialog);
    std::vector<Expected> expected = UpToCounting();
    expected.push_back(Progress(PROGRESS_UP_TO_DATE, 100, UpToDate, kUpToDate, 100));
    expected.push_back({WM_UPDATE_FINISHED, 0, 10, UpToDate, kUpToDate, 0});
    ExpectSequence(run, expected);
    EXPECT_EQ(run.endCode, IDOK) << "end code";
    EXPECT_TRUE(NeverSized(run)) << "the window never gets a size";
    EXPECT_FALSE(dialog.m_handedOver) << "nothing handed over";
    EXPECT_EQ(Script().stepsRun.back(), Step::Count) << "nothing after counting runs";
}

TEST_F(RunTest, CompletedRunShowsEveryStepAndPausesBeforeTheEnd)
{
    Script().filesToDownload = 3;
    const RecordedRun run = RunRecorded(dialog);

    std::vector<Expected> expected = UpToCounting();
    expected.push_back(Progress(PROGRESS_STEP, 10, CountingUpdates, kChecking, 10));  // window shown
    expected.push_back(Progress(PROGRESS_STEP, 25, Downloading, kDownloading, 25));
    expected.push_back(Progress(PROGRESS_STEP, 46, Downloading, kDownloading, 46));
    expected.push_back(Progress(PROGRESS_STEP, 67, Downloading, "2/3 번째 파일을 다운로드 중입니다...", 67));
    expected.push_back(Progress(PROGRESS_STEP, 88, Downloading, "3/3 번째 파일을 다운로드 중입니다...", 88));
    expected.push_back(Progress(PROGRESS_STEP, 95, Installing, kInstalling, 95));
    expected.push_back(Progress(PROGRESS_STEP, 100, Completed, kCompleted, 100));
    expected.push_back({WM_UPDATE_FINISHED, 0, 100, Completed, kCompleted, 100});
    ExpectSequence(run, expected);

    ASSERT_EQ(run.notes.size(), expected.size());
    EXPECT_GE(run.notes.back().tick - run.notes[run.notes.size() - 2].tick, 290u)
        << "300 ms pause between completion and the end";
    EXPECT_FALSE(run.notes[5].windowHidden) << "cleared before the notification after showing";
    EXPECT_EQ(run.notes[5].windowWidth, dialog.m_skinWidth) << "shown at the skin's width";
    EXPECT_EQ(run.notes[5].windowHeight, dialog.m_skinHeight) << "shown at the skin's height";
    EXPECT_EQ(run.endCode, IDOK) << "end code";
    EXPECT_FALSE(dialog.m_handedOver) << "nothing handed over";
    ASSERT_EQ(Script().stagingRemoved.size(), 1u) << "the end removes the staging folder once";
    EXPECT_EQ(Script().stagingRemoved[0], "C:\\scripted\\Update") << "the run's staging folder";
    EXPECT_EQ(dialog.m_items.GetCount(), 0) << "the items are released at the end";
}

TEST_F(RunTest, FailedDownloadKeepsTheNextFilesPercentAndText)
{
    Script().filesToDownload = 3;
    Script().filesThatDownload = 1;
    const RecordedRun run = RunRecorded(dialog);
    ASSERT_GE(run.notes.size(), 10u);
    EXPECT_EQ(run.notes[7].lParam, 46) << "first file";
    EXPECT_EQ(run.notes[8].lParam, 67) << "second file, after one success";
    EXPECT_EQ(run.notes[9].lParam, 67) << "third file: the second failed, so the same percent";
    EXPECT_EQ(run.notes[9].statusText, "2/3 번째 파일을 다운로드 중입니다...") << "and the same text";
}

TEST_F(RunTest, StagingFailureEndsAfterShowingWithFifteen)
{
    Script().filesToDownload = 1;
    Script().failAt = Step::Staging;
    const RecordedRun run = RunRecorded(dialog);
    std::vector<Expected> expected = UpToCounting();
    expected.push_back(Progress(PROGRESS_STEP, 10, CountingUpdates, kChecking, 10));
    expected.push_back({WM_UPDATE_FINISHED, 0, 15, PreparingStaging, kChecking, 15});
    ExpectSequence(run, expected);
    EXPECT_EQ(dialog.m_lastErrorCode, 53) << "the staging step's error";
}

TEST_F(RunTest, StateWithoutTextChangesNothingAndSevenShowsTheUpdatingText)
{
    Script().after[static_cast<int>(Step::Check)] = [](UpdateProgressDialog& d) {
        d.m_runState = 42;
        d.Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, 77);
        d.m_runState = Updating;
        d.Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, 50);
        d.m_runState = CheckingVersions;
    };
    const RecordedRun run = RunRecorded(dialog);
    ASSERT_GE(run.notes.size(), 6u);
    EXPECT_EQ(run.notes[4].statusText, kChecking) << "state 42 keeps the text";
    EXPECT_EQ(run.notes[4].shownPercent, 8) << "state 42 keeps the percent";
    EXPECT_EQ(run.notes[5].statusText, kInstalling) << "state 7 shows the updating text";
    EXPECT_EQ(run.notes[5].shownPercent, 50) << "state 7 shows its percent";
}

TEST_F(RunTest, SecondRunOfTheSameDialogStartsReset)
{
    Script().filesToDownload = 1;
    RunRecorded(dialog);
    ASSERT_TRUE(dialog.m_updateNeeded) << "the first run found a file";
    dialog.m_windowHidden = TRUE;

    Script() = StepScript();
    Script().failAt = Step::Fetch;
    const RecordedRun run = RunRecorded(dialog);
    ASSERT_EQ(run.notes.size(), 3u);
    EXPECT_FALSE(run.notes[0].updateNeeded) << "m_updateNeeded reset at the start";
    EXPECT_FALSE(run.notes[0].windowHidden) << "m_windowHidden reset at the start";
    EXPECT_EQ(run.notes[0].shownPercent, 0) << "shown percent reset";
    EXPECT_EQ(run.notes[2].shownPercent, 0) << "the final percent follows this run's m_updateNeeded";
}

// Runs only in the copy that reports Windows 7 (NT 6.1).
std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The run log: a line per step's outcome with its UTC time and code, the failing step's
// text in UTF-8, URLs without their query; at its cap the file becomes the one older file.
TEST_F(RunTest, TheLogHasALinePerStepAndKeepsOneOlderFileAtItsCap)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "run-log-" + std::to_string(GetCurrentProcessId());
    const std::string path = folder + "\\Run.log", older = folder + "\\Run.old.log";
    dialog.m_logPath = path;
    dialog.m_listUrl = "http://user:pw@127.0.0.1:8080/update/list.txt?token=secret";
    Script().failAt = Step::Parse;
    RunRecorded(dialog);
    const std::string first = FileText(path);
    std::istringstream lines(first);
    std::string line;
    std::vector<std::string> steps;
    while (std::getline(lines, line)) {
        ASSERT_GT(line.size(), 21u) << line;
        EXPECT_EQ(line[4], '-') << line;
        EXPECT_EQ(line.substr(19, 2), "Z ") << "a UTC time first: " << line;
        std::istringstream words(line.substr(21));
        std::string step, code;
        words >> step >> code;
        steps.push_back(step + " " + code);
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"start 0", "list 0", "parse 46"})) << first;
    EXPECT_NE(first.find("list=127.0.0.1/update/list.txt files="), std::string::npos) << "host and path only";
    EXPECT_EQ(first.find("secret"), std::string::npos) << "no query";
    EXPECT_EQ(first.find("pw"), std::string::npos) << "no password";
    EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, first.data(), static_cast<int>(first.size()), nullptr, 0), 0)
        << "UTF-8";
    EXPECT_NE(first.find("parse 46 scripted parse failure\n"), std::string::npos) << "the failing step's text";

    dialog.m_logCapBytes = first.size() + 20;
    Script() = StepScript();
    Script().failAt = Step::Parse;
    RunRecorded(dialog);
    EXPECT_EQ(FileText(older), first) << "the first run's log, whole, as the older file";
    const std::string second = FileText(path);
    EXPECT_LE(second.size(), dialog.m_logCapBytes) << "the current file under its cap";
    EXPECT_EQ(second.find("start 0"), 21u) << "begun anew";
    DeleteFileA(path.c_str());
    DeleteFileA(older.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(HandOver, Nt6RunWithUpdatesHandsOverWithoutShowingTheWindow)
{
    ASSERT_TRUE(UpdateProgressDialog::IsNtVersion6()) << "this test needs NT 6.x";
    Script() = StepScript();
    Script().filesToDownload = 2;
    UpdateProgressDialog dialog;
    const RecordedRun run = RunRecorded(dialog);
    std::vector<Expected> expected = UpToCounting();
    expected.push_back(Progress(PROGRESS_UP_TO_DATE, 100, UpToDate, kUpToDate, 100));
    expected.push_back({WM_UPDATE_FINISHED, 0, 10, UpToDate, kUpToDate, 10});
    ExpectSequence(run, expected);
    EXPECT_TRUE(dialog.m_handedOver) << "the run hands over";
    EXPECT_TRUE(dialog.m_isNt6) << "m_isNt6 from the system version";
    EXPECT_TRUE(NeverSized(run)) << "the window never gets a size";
    EXPECT_EQ(Script().stepsRun.back(), Step::Count) << "nothing is downloaded";
    EXPECT_EQ(run.endCode, IDOK) << "end code";
}
