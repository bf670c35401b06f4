#include "engine/path_macro_text.h"

std::string ReplacePathMacros(std::string_view text, const PathMacroValues& values,
                              const LeadByteTable& table)
{
    // The text is copied once it changes, not before.
    std::string result;
    bool replaced = false;
    for (int macro = 0; macro < kPathMacroCount; ++macro) {
        const std::string_view current = replaced ? std::string_view(result) : text;
        if (MbFind(current, kPathMacroText[macro], 0, table) == kNotFound)
            continue;
        result = MbReplace(current, kPathMacroText[macro], values.value[macro], nullptr, table);
        replaced = true;
    }
    if (!replaced)
        result.assign(text);
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
