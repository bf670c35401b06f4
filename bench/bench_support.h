// What the benchmarks share: a clock, verdicts, and curl as the yardstick.
#pragma once

#include <string>

// Seconds on a monotonic clock.
double Seconds();

// Prints whether a target is met; returns met.
bool Verdict(const char* what, bool met);

// One row of the summary table that bench/run.sh prints at the end: the figure, its
// baseline measured in the same run, their ratio and the target. Returns met.
bool TableRow(const char* figure, const std::string& value, const std::string& baseline, double ratio,
              const char* target, bool met);
// A row with no target, for a figure that explains another.
void FigureRow(const char* figure, const std::string& value, const std::string& baseline, double ratio,
               const std::string& note);
// "%.1f MiB/s" and the like, for the table.
std::string Text(const char* format, double value);

// Bytes per second that curl reaches on url as curl itself measures it, saving the body
// to saveTo (a Unix path, or /dev/null); outputFile (a Windows path) catches curl's
// report. Negative when curl cannot be run.
double CurlSpeed(const std::string& url, const std::string& saveTo, const std::string& outputFile);
