// Folders of the install: the control module's own folder and the list's macros.
#include <shlobj.h>

#include "framework/module.h"
#include "ui/progress_dialog.h"

CString UpdateProgressDialog::GetModuleFolder()
{
    const CString full(m_controlModulePath.IsEmpty() ? CString(ThisModulePath().c_str()) : m_controlModulePath);
    const int slash = full.ReverseFind('\\');
    m_moduleName = full.Mid(slash + 1);
    return slash < 0 ? CString() : full.Left(slash);
}

void UpdateProgressDialog::QuerySystemFolders()
{
    // A failed query leaves its buffer empty, and with it the folder.
    char windows[MAX_PATH] = {};
    char system[MAX_PATH] = {};
    char programFiles[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof(windows));
    GetSystemDirectoryA(system, sizeof(system));
    PathMacroValues& values = m_folderValues;
    values.value[kMacroWindows] = windows;
    values.value[kMacroSystem] = system;
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles) == S_OK)
        values.value[kMacroProgramFiles] = programFiles;
    else
        values.value[kMacroProgramFiles] = ProgramFilesOnWindowsDrive(windows);
    values.value[kMacroAxPath] = DownloadedProgramFiles(windows);
    m_foldersKnown = TRUE;
}

CString UpdateProgressDialog::ExpandPathMacros(CString text)
{
    if (!m_foldersKnown)
        QuerySystemFolders();
    if (m_installFolder.IsEmpty())
        m_installFolder = m_moduleFolder;
    m_folderValues.value[kMacroAppPath] = m_installFolder.Str();
    return ReplacePathMacros(text.View(), m_folderValues);
}
