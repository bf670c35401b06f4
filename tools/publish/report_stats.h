// Counting the run reports in web server access logs (the combined format): which outcomes,
// control versions, Windows versions and error codes the visitors' runs reported.
#pragma once

#include <map>
#include <string>

struct ReportStats {
    int runs = 0;
    std::map<std::string, int> outcomes, versions, windows;
    std::map<int, int> codes;  // first error codes and failed files' codes
};

// Adds one access log line when it is a report (a GET whose query holds id= and outcome=)
// made on or after since ("YYYY-MM-DD", empty: any day).
void CountReportLine(const std::string& line, const std::string& since, ReportStats* stats);

// The tables as vexa-publish --stats prints them.
std::string ReportStatsText(const ReportStats& stats);
