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
        m_lastErrorCode = 60;
        m_lastErrorText = "라이브러리파일을 로드하지 못했습니다.";
        return FALSE;
    }
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    const FARPROC address = GetProcAddress(library.Get(), doRegister ? "DllRegisterServer" : "DllUnregisterServer");
    if (!address) {
        if (NamesModuleFile(path.View())) {
            m_lastErrorCode = 62;
            m_lastErrorText = "엔트리포인트를 찾을수 없습니다.";
        } else {
            m_lastErrorCode = 61;
            m_lastErrorText = "레지스트리에 등록가능한 파일이 아닙니다.";
        }
        return FALSE;
    }
    const auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(address));
    if (FAILED(entry())) {
        m_lastErrorCode = 63;
        m_lastErrorText = "레지스트리 등록/해제를 하지못했습니다.";
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
