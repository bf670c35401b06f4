// The run log on the visitor's machine: one UTF-8 line per step's outcome, per identity,
// where support can ask for it. The control's is where a low-integrity browser may write,
// the elevated helper's under the machine's program data, in a folder only administrators
// and the system may write to.
#include <shlobj.h>

#include "engine/run_folders.h"
#include "engine/run_log_text.h"
#include "ui/progress_dialog.h"

namespace {

// FOLDERID_LocalAppDataLow, looked up by name: the function is missing before NT 6.
const GUID kLocalAppDataLow = {0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};

std::string UserDataFolder()
{
    using KnownFolderPath = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);
    const auto known = reinterpret_cast<KnownFolderPath>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), "SHGetKnownFolderPath")));
    PWSTR wide = nullptr;
    if (known && SUCCEEDED(known(kLocalAppDataLow, 0, nullptr, &wide)) && wide) {
        char path[MAX_PATH] = {};
        const int length = WideCharToMultiByte(CP_ACP, 0, wide, -1, path, MAX_PATH, nullptr, nullptr);
        CoTaskMemFree(wide);
        if (length > 0)
            return path;
    }
    char path[MAX_PATH] = {};
    return SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path) == S_OK ? path : "";
}

std::string Utf8Of949(const std::string& text)
{
    if (text.empty())
        return text;
    const int wideLength = MultiByteToWideChar(949, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wideLength <= 0)
        return std::string();
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(949, 0, text.data(), static_cast<int>(text.size()), &wide[0], wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

// The log file opened for appending, or invalid when it is anything but a plain file of
// its own (a link planted there would lead the writes elsewhere). Its size in *size.
FileHandle OpenLog(const std::string& path, unsigned long long* size)
{
    FileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        info.nNumberOfLinks > 1)
        return FileHandle();
    *size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return file;
}

}  // namespace

std::string RunLogPath(const std::string& identity, bool machine)
{
    char common[MAX_PATH] = {};
    const std::string root = machine ? (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common) == S_OK
                                            ? std::string(common)
                                            : std::string())
                                     : UserDataFolder();
    if (root.empty() || identity.empty())
        return std::string();
    return root + "\\" + identity + "\\" + identity + (machine ? "Ex.log" : ".log");
}

void UpdateProgressDialog::LogStep(const char* step, BOOL succeeded, const std::string& detail)
{
    if (succeeded)
        LogLine(step, 0, detail);
    else
        LogLine(step, m_lastErrorCode, m_lastErrorText.Str() + (detail.empty() ? "" : " " + detail));
}

void UpdateProgressDialog::LogLine(const char* step, int code, const std::string& text)
{
    if (m_logPath.empty())
        return;
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    const std::string line = RunLogLine({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond}, step,
                                        code, Utf8Of949(text));
    const std::string folder = m_logPath.substr(0, m_logPath.rfind('\\'));
    // Made fresh with the log's own permissions; one that is a link is never used.
    if (!IsPlainFolder(folder) && (!CreateRunFolder(folder, m_logMachine) || !IsPlainFolder(folder)))
        return;
    unsigned long long size = 0;
    FileHandle file = OpenLog(m_logPath, &size);
    if (file && size > 0 && size + line.size() > m_logCapBytes) {
        file.Close();
        MoveFileExA(m_logPath.c_str(), OlderLogPath(m_logPath).c_str(), MOVEFILE_REPLACE_EXISTING);
        file = OpenLog(m_logPath, &size);
    }
    DWORD written = 0;
    if (file)
        WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void UpdateProgressDialog::LogRunEnd(const RunReport& report)
{
    for (const RunFile& file : report.files)
        LogLine("file", file.code, file.path + " " + DecisionName(file.decision) + " " + ResultName(file.result));
    std::string detail = "outcome=" + report.outcome + " identity=" + report.identity + " version=" + report.version;
    if (report.helperExit != kNoHelperExit)
        detail += " helperExit=" + std::to_string(report.helperExit);
    if (!report.listSigned.empty())
        detail += " listSigned=" + report.listSigned;
    LogLine("run", report.code, report.code ? report.text + " " + detail : detail);
}
