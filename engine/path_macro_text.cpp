#include "engine/path_macro_text.h"

std::string ReplacePathMacros(std::string_view text, const PathMacroValues& values,
                              const LeadByteTable& table)
{
    std::string result(text);
    for (int macro = 0; macro < kPathMacroCount; ++macro) {
        if (MbFind(result, kPathMacroText[macro], 0, table) != kNotFound)
            result = MbReplace(result, kPathMacroText[macro], values.value[macro], nullptr, table);
    }
    return result;
}

std::string ProgramFilesOnWindowsDrive(std::string_view windowsFolder)
{
    std::string folder(windowsFolder.substr(0, 2));
    folder.append("\\Program Files");
    return folder;
}

std::string DownloadedProgramFiles(std::string_view windowsFolder)
{
    std::string folder(windowsFolder);
    folder.append("\\Downloaded Program Files");
    return folder;
}
