// Runs a progress dialog modally and records every notification it handles, with the
// state the dialog is in right after handling it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/update_item.h"

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
    HWND window = nullptr;  // the dialog's window while it ran
    std::vector<Notification> notes;
    // The items as they stood when the finish notification arrived, before the dialog
    // released them.
    std::vector<UpdateItem> items;
};

RecordedRun RunRecorded(UpdateProgressDialog& dialog);
