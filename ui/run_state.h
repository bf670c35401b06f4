// The run states and the two messages between the worker and the progress dialog.
#pragma once

#include <windows.h>

// Sent with SendMessageA, so the worker waits until the dialog's thread has handled them.
constexpr UINT WM_UPDATE_FINISHED = WM_USER + 101;  // wParam 0, lParam: last overall percent
constexpr UINT WM_UPDATE_PROGRESS = WM_USER + 102;  // wParam: PROGRESS_*, lParam: percent

constexpr WPARAM PROGRESS_STEP = 0;        // show the current state's text and lParam
constexpr WPARAM PROGRESS_UP_TO_DATE = 1;  // nothing to download here: up-to-date text, 100
constexpr WPARAM PROGRESS_RETRY = 2;       // a request is about to be tried again: the retry text

enum RunState {
    Preparing = 0,
    FetchingList = 1,
    ParsingList = 2,
    CheckingVersions = 3,
    CountingUpdates = 4,
    PreparingStaging = 5,
    Downloading = 6,
    Updating = 7,  // never entered by the worker; shown like Installing
    Installing = 8,
    Completed = 9,
    UpToDate = 20
};

// Status text of a run state, or nullptr for a value that has none (the progress
// handler then changes neither text nor percent). Downloading has two texts; this is
// the one before the first file is done.
const char* StatusTextOf(int runState);

// "%d/%d 번째 파일을 다운로드 중입니다..."
extern const char* const kDownloadingFileFormat;
