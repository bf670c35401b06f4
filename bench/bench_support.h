// What the benchmarks share: a clock, verdicts, and curl as the yardstick.
#pragma once

#include <string>

// Seconds on a monotonic clock.
double Seconds();

// Prints whether a target is met; returns met.
bool Verdict(const char* what, bool met);

// Bytes per second that curl reaches on url as curl itself measures it, saving the body
// to saveTo (a Unix path, or /dev/null); outputFile (a Windows path) catches curl's
// report. Negative when curl cannot be run.
double CurlSpeed(const std::string& url, const std::string& saveTo, const std::string& outputFile);
