// Steps of a run whose results a test decides. They keep the contract every real step
// keeps (clear the last error, send the step's first notification, record an error on
// failure), so that the run and the dialog can be tested on their own.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class UpdateProgressDialog;

enum class Step { None, Fetch, Parse, Check, Count, Staging, Download, Install };

struct StepScript {
    Step failAt = Step::None;
    int filesToDownload = 0;      // what counting finds
    int filesThatDownload = -1;   // how many of them succeed (-1: all)
    // Runs on the worker right after the named step's own notification.
    std::function<void(UpdateProgressDialog&)> after[8];

    // Filled in while the run goes on.
    std::vector<Step> stepsRun;
    std::vector<std::string> stagingRemoved;
};

// The script the steps follow; reset it at the start of every test.
StepScript& Script();
// How many times the staging folder was removed, readable from any thread.
std::atomic<int>& StagingRemovals();

const char* StepName(Step step);
