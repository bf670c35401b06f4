// Registering an installed component through its own entry point, and starting an
// installed program and waiting for it.
#include <windows.h>
#include <shellapi.h>

#include "engine/install_text.h"
#include "framework/handles.h"
#include "ui/progress_dialog.h"

BOOL UpdateProgressDialog::RegisterComponent(const CString& path, BOOL doRegister)
{
    // No critical-error boxes while the file loads. The mode is the whole process's and
    // the earlier one is not put back.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    // The libraries it depends on come from its own folder and the system folder only: an
    // elevated registration must not load a library planted in the current folder or on
    // PATH. Systems without that search (XP, Vista, 7 without its update) refuse the flags;
    // there the current folder at least is taken out of the search for this load.
    constexpr DWORD kSearchDllLoadDir = 0x00000100, kSearchSystem32 = 0x00000800;
    LibraryHandle library(LoadLibraryExA(path, nullptr, kSearchDllLoadDir | kSearchSystem32));
    if (!library && GetLastError() == ERROR_INVALID_PARAMETER) {
        char before[MAX_PATH] = {};
        const DWORD had = GetDllDirectoryA(MAX_PATH, before);
        SetDllDirectoryA("");
        library.Reset(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        SetDllDirectoryA(had ? before : nullptr);
    }
    if (!library) {
        RecordError(RunError::LoadFailed);
        return FALSE;
    }
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    const FARPROC address = GetProcAddress(library.Get(), doRegister ? "DllRegisterServer" : "DllUnregisterServer");
    if (!address) {
        if (NamesModuleFile(path.View())) {
            RecordError(RunError::NoEntryPoint);
        } else {
            RecordError(RunError::NotRegistrable);
        }
        return FALSE;
    }
    const auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(address));
    if (FAILED(entry())) {
        RecordError(RunError::RegistrationFailed);
        return FALSE;
    }
    library.Close();
    Sleep(50);
    return TRUE;
}

BOOL UpdateProgressDialog::LaunchProgram(const CString& path, BOOL silent)
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = path;
    // Normal mode passes one blank, not an empty text.
    info.lpParameters = silent ? " /silent" : " ";
    info.nShow = SW_SHOW;
    // A start that fails leaves the handle null; the shell may have said why.
    ShellExecuteExA(&info);
    KernelHandle process(info.hProcess);
    // Installers take as long as they take: no time limit.
    if (process)
        WaitForSingleObject(process.Get(), INFINITE);
    return TRUE;
}
