// What a run did, as the page reads it back: one JSON object (GetLastRun). Plain values and
// no Windows headers, so that the text is tested on the host.
#pragma once

#include <string>
#include <vector>

// GetLastRun's helperExit when no helper ran.
constexpr int kNoHelperExit = -1;

// A listed file as the run left it.
struct RunFile {
    std::string path;  // its target path (code page 949)
    int decision = 0;  // FileDecision
    int result = 0;    // ItemResult (engine/update_item.h)
    int code = 0;      // the error its failure recorded, 0 for none
};

enum FileDecision { kDecisionUpdate, kDecisionCurrent, kDecisionNewerInstalled, kDecisionSkipped };

// The names the page's object (and the run log) gives a decision and a result.
const char* DecisionName(int decision);
const char* ResultName(int result);

// The decision a record's update state (and its ATFIRST flag) stands for.
int FileDecisionOf(int updateState, bool atFirst);

struct RunReport {
    std::string outcome = "none";  // installed, up-to-date, failed, refused, handed-over, busy, none
    int code = 0;                  // the first error's code
    std::string meaning;           // its English meaning
    std::string text;              // its Korean text (code page 949)
    std::string identity;
    std::string version;
    std::string listSigned;  // 14 digits, or empty
    std::string listExpires;
    int helperExit = kNoHelperExit;
    std::vector<RunFile> files;
};

// The query a run's report carries to the operator's server (no personal data): identity,
// version, Windows version, the list's signing time, outcome, first code, counts of files
// updated and failed, and the failed files' codes.
std::string ReportQuery(const RunReport& report, const std::string& windowsVersion);

// The object's text, in code page 949 like its parts (the control gives it to the page as
// Unicode).
std::string RunReportJson(const RunReport& report);
