// The five install-folder macros as text: their names and how a line is expanded once
// the folder values are known. Free of Windows headers so that it also builds on the host.
#pragma once

#include <string>
#include <string_view>

#include "framework/mbcs.h"

// In the order in which they are replaced.
enum PathMacro { kMacroWindows, kMacroSystem, kMacroProgramFiles, kMacroAppPath, kMacroAxPath,
                 kPathMacroCount };

constexpr std::string_view kPathMacroText[kPathMacroCount] = {
    "%Windows%", "%System%", "%Program Files%", "%App Path%", "%AX Path%"};

struct PathMacroValues {
    std::string value[kPathMacroCount];
};

// Replaces every occurrence of each macro in turn; a later macro is also found inside
// values inserted by an earlier one.
std::string ReplacePathMacros(std::string_view text, const PathMacroValues& values,
                              const LeadByteTable& table = LeadByteTable::Ansi());

// Where programs live when the shell cannot say: the Windows folder's drive.
std::string ProgramFilesOnWindowsDrive(std::string_view windowsFolder);

// Where the browser keeps downloaded controls.
std::string DownloadedProgramFiles(std::string_view windowsFolder);
