// Runs a progress dialog modally and records every notification it handles, with the
// state the dialog is in right after handling it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class UpdateProgressDialog;

struct Notification {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int runState;
    std::string statusText;
    int shownPercent;
    BOOL updateNeeded;
    BOOL windowHidden;
    int windowWidth;
    int windowHeight;
    ULONGLONG tick;
};

struct RecordedRun {
    INT_PTR endCode = 0;
    std::vector<Notification> notes;
};

RecordedRun RunRecorded(UpdateProgressDialog& dialog);
