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
    // The libraries it depends on are looked for in its own folder first.
    LibraryHandle library(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
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
