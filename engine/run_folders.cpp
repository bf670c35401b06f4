#include "engine/run_folders.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

const char kElevatedStagingFolderSddl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

bool IsPlainFolder(const std::string& folder)
{
    const DWORD found = GetFileAttributesA(folder.c_str());
    return found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY) &&
           !(found & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool CreateRunFolder(const std::string& folder, bool restricted)
{
    SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (restricted && IsUserAnAdmin() &&
        ConvertStringSecurityDescriptorToSecurityDescriptorA(kElevatedStagingFolderSddl, SDDL_REVISION_1, &descriptor,
                                                             nullptr))
        security.lpSecurityDescriptor = descriptor;
    const bool made = CreateDirectoryA(folder.c_str(), &security) != FALSE;
    if (descriptor)
        LocalFree(descriptor);
    return made;
}
