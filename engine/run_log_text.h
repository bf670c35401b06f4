// The lines of the run log on the visitor's machine: plain values, so that the rules are
// tested and fuzzed on the host.
#pragma once

#include <cstddef>
#include <string>

// Each log file is kept under this size; when a line would pass it, the file becomes the one
// older file (replacing the last) and a new one begins.
constexpr size_t kRunLogCapBytes = 256 * 1024;

struct LogTime {
    int year, month, day, hour, minute, second;  // UTC
};

// "2026-12-10T10:15:00Z step code detail\n". The detail is UTF-8; control characters in it
// become spaces and it is cut (at a character's start) so that a line stays under 1 KiB.
std::string RunLogLine(const LogTime& time, const std::string& step, int code, const std::string& detail);

// A URL as the log may hold it: its host and path only, without scheme, user, password,
// port, query or fragment ("pay.example.com/update/list.txt").
std::string LoggedUrl(const std::string& url);

// The older file's name: "VexaUpdater.log" -> "VexaUpdater.old.log".
std::string OlderLogPath(const std::string& path);
