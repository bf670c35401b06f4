// What a module's build gives its runs, the same in the control and the helper.
#pragma once

#include <windows.h>

#include <string>

class UpdateProgressDialog;

// Its identity, sites and list keys, where its keyed runs remember the lists they took (the
// machine's registry for the helper: machine), and how long its requests may wait and how its retries back off
// (the shipped modules use the documented 30 s and 1 s; test builds may shorten them).
void ApplyModuleBuild(UpdateProgressDialog& dialog, bool machine = false);

// The helper's report of its run (GetLastRun's object), kept where only administrators may
// write (the machine's key of the build's identity) with the helper's process id and
// creation time, so that the control that started it takes it and no other. Empty when
// there is none for that process.
void KeepHelperReport(const std::string& json);
std::string HelperReportOf(HANDLE process);
