// Putting the staged files in place: the user's questions and notices, the replacement of
// the installed file, its listed modification time, the registration and start that the
// list asks for; and the removal of the staging folder when the dialog ends.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <string>

#include "engine/install_text.h"
#include "framework/handles.h"
#include "framework/sha256_hash.h"
#include "framework/system_text.h"
#include "ui/progress_dialog.h"

namespace {

const char* const kConfirmCaption = "사용자 확인";
const char* const kNoticeCaption = "알림";
const char* const kQuestionFormat = "%s\r\n\r\n파일명:%s";
const char* const kNewerQuestion =
    "이미 설치되어있는 파일이 최신버전입니다.\r\n해당 파일을 그래도 업데이트 하시겠습니까?";
const char* const kReadOnlyQuestion = "다음파일이 읽기전용입니다. 업데이트 하시겠습니까?";
const char* const kInUseFormat = "다음 파일이 사용중이어서 업데이트 하지 못했습니다.\n%s";
const char* const kDiskFullNotice = "disk 공간이 부족하여 업데이트 할수 없습니다.";
const char* const kCopyFailed = "파일을 복사하지 못했습니다.";

// Tries for a free name beside the target before giving up on the copy.
constexpr int kTempNameAttempts = 64;

// A Yes or No question about one file, modal to the dialog window. Anything but Yes,
// a box that could not be shown included, counts as No.
bool AskAboutFile(HWND owner, const char* question, const CString& path)
{
    CString text;
    text.Format(kQuestionFormat, question, path.GetString());
    return MessageBoxA(owner, text, kConfirmCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The path in UTF-16 for the file calls, converted as the ANSI calls would. Only the
// temporary copy's name can outgrow MAX_PATH; a full path then gets the prefix that lifts
// the limit.
std::wstring WidePath(const std::string& path)
{
    const int size = static_cast<int>(path.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, path.data(), size, &wide[0], length);
    if (wide.size() >= MAX_PATH && wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\')
        wide.insert(0, L"\\\\?\\");
    return wide;
}

// Creates an empty file under a free name beside target and gives that name; 0 or the
// system error.
DWORD CreateSiblingFile(const std::string& target, std::wstring* temp)
{
    static std::atomic<unsigned> counter{0};
    const unsigned seed = GetCurrentProcessId() * 0x9E3779B1u ^ GetTickCount();
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        *temp = WidePath(SiblingTempPath(target, seed + counter.fetch_add(1) * 0x10001u));
        FileHandle file(CreateFileW(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return 0;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return error;
    }
    return ERROR_FILE_EXISTS;
}

void DeleteTemporary(const std::wstring& temp)
{
    const DWORD error = GetLastError();
    SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temp.c_str());
    SetLastError(error);
}

// Whether the open file's bytes have the published digest (64 lower-case hex digits).
bool HasDigest(HANDLE file, const std::string& digest)
{
    LARGE_INTEGER size = {};
    Sha256Hash hash;
    return GetFileSizeEx(file, &size) && HashFileBytes(file, static_cast<unsigned long long>(size.QuadPart), &hash) &&
           hash.HexDigest() == digest;
}

// Puts a complete copy of source at target, overwriting it. The copy is made beside the
// target and then takes its place in one rename, so a copy that fails part-way (a full
// disk) leaves the installed file as it was, and no temporary file stays behind.
// Returns 0 or the system error of the failing call.
DWORD ReplaceWithCopy(const std::string& source, const std::string& target)
{
    const std::wstring wideTarget = WidePath(target);
    {
        // What a copy straight over the target would meet: a program holding it open
        // gives a sharing violation here, where the rename would give another error.
        FileHandle probe(CreateFileW(wideTarget.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                return error;
        }
    }
    std::wstring temp;
    if (const DWORD error = CreateSiblingFile(target, &temp))
        return error;
    const std::wstring wideSource = WidePath(source);
    // A copy over an existing file takes the source's attributes on Windows, not under
    // Wine; the temporary exists already, so they are set explicitly.
    const DWORD attributes = GetFileAttributesW(wideSource.c_str());
    if (!CopyFileW(wideSource.c_str(), temp.c_str(), FALSE) ||
        (attributes != INVALID_FILE_ATTRIBUTES && !SetFileAttributesW(temp.c_str(), attributes)) ||
        !MoveFileExW(temp.c_str(), wideTarget.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const DWORD error = GetLastError();
        DeleteTemporary(temp);
        return error;
    }
    return 0;
}

// Gives the file the listed local time as its modification time, with its creation and
// access times and its attributes written back as they were read. The zone's rule for
// that date decides on daylight saving time, the same rule the version check reads the
// time back with. Nothing changes when the status cannot be read or written.
void SetListedTime(const std::string& path, const ListTime& listed)
{
    const std::wstring widePath = WidePath(path);
    WIN32_FILE_ATTRIBUTE_DATA status = {};
    if (!GetFileAttributesExW(widePath.c_str(), GetFileExInfoStandard, &status))
        return;
    SYSTEMTIME local = {};
    local.wYear = static_cast<WORD>(listed.year);
    local.wMonth = static_cast<WORD>(listed.month);
    local.wDay = static_cast<WORD>(listed.day);
    local.wHour = static_cast<WORD>(listed.hour);
    local.wMinute = static_cast<WORD>(listed.minute);
    local.wSecond = static_cast<WORD>(listed.second);
    SYSTEMTIME universal = {};
    FILETIME modified = {};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) || !SystemTimeToFileTime(&universal, &modified))
        return;
    FileHandle file(CreateFileW(widePath.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    if (!file)
        return;
    SetFileTime(file.Get(), &status.ftCreationTime, &status.ftLastAccessTime, &modified);
    file.Close();
    SetFileAttributesW(widePath.c_str(), status.dwFileAttributes);
}

}  // namespace

BOOL UpdateProgressDialog::InstallFiles()
{
    ClearLastError();
    Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, m_progress);
    m_comInitResult = CoInitialize(nullptr);

    m_items.ForEachWorkingCopy([this](UpdateItem& stored, UpdateItem& item) {
        if (item.m_nUpdateState == kNoUpdate || item.m_nResult == kResultDownloadFailed)
            return;
        // A quitting host: no file more is installed and no question asked.
        if (m_stopRequested) {
            stored.m_nResult = kResultInstallFailed;
            return;
        }
        if (item.m_nUpdateState == kInstalledNewer && !AskAboutFile(m_hWnd, kNewerQuestion, item.m_strTargetPath)) {
            stored.m_nResult = kResultDeclined;
            return;
        }
        if (!InstallFile(item)) {
            stored.m_nResult = m_lastErrorCode == ErrorRow(RunError::Declined).code ? kResultDeclined : kResultInstallFailed;
            stored.m_nErrorCode = m_lastErrorCode;
            stored.m_strErrorText = m_lastErrorText;
            return;
        }
        stored.m_nResult = kResultInstalled;
        Sleep(30);
        if (item.m_bRegister) {
            if (!RegisterComponent(item.m_strTargetPath, TRUE)) {
                stored.m_nResult = kResultRegisterFailed;
                stored.m_nErrorCode = m_lastErrorCode;
            }
            Sleep(50);
        }
        // Each program has ended before the next file is installed.
        if (item.m_bRun)
            LaunchProgram(item.m_strTargetPath, FALSE);
        if (item.m_bRunSilent)
            LaunchProgram(item.m_strTargetPath, TRUE);
    });

    Sleep(50);
    // Only the initialisation made here is undone; an earlier one belongs to its caller.
    if (m_comInitResult == S_OK)
        CoUninitialize();
    return TRUE;
}

BOOL UpdateProgressDialog::InstallFile(const UpdateItem& item)
{
    if (!item.m_strTargetDir.IsEmpty() && !MakeDirectoryPath(item.m_strTargetDir)) {
        RecordError(RunError::StagingFolder);
        return FALSE;
    }

    const std::string& target = item.m_strTargetPath.Str();
    const DWORD attributes = GetFileAttributesW(WidePath(target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (attributes & FILE_ATTRIBUTE_READONLY)) {
        if (!AskAboutFile(m_hWnd, kReadOnlyQuestion, item.m_strTargetPath)) {
            RecordError(RunError::Declined);
            return FALSE;
        }
        if (!SetFileAttributesW(WidePath(target).c_str(), FILE_ATTRIBUTE_NORMAL)) {
            RecordError(RunError::ReadOnlyAttribute);
            return FALSE;
        }
    }

    // The bytes installed are the bytes checked: whoever may write the staging folder (an
    // install folder under C:\ lets any user) could swap the file after the download's
    // check. It is held against writers and deletion and checked again until it is copied.
    FileHandle held;
    if (!item.m_strSha256.IsEmpty()) {
        held.Reset(CreateFileW(WidePath(item.m_strStagePath.Str()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!held || !HasDigest(held.Get(), item.m_strSha256.Str())) {
            RecordError(RunError::DigestFailed);
            return FALSE;
        }
    }
    if (const DWORD error = ReplaceWithCopy(item.m_strStagePath.Str(), target)) {
        RunError failure = RunError::CopyFailed;
        if (error == ERROR_SHARING_VIOLATION) {
            failure = RunError::InUse;
            CString notice;
            notice.Format(kInUseFormat, item.m_strStagePath.GetString());
            MessageBoxA(m_hWnd, notice, kNoticeCaption, MB_OK | MB_ICONINFORMATION);
        } else if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) {
            MessageBoxA(m_hWnd, kDiskFullNotice, kNoticeCaption, MB_OK | MB_ICONWARNING);
        }
        CString text = SystemMessageText(error);
        if (text.IsEmpty())
            text.Format("%s (%lu)", kCopyFailed, static_cast<unsigned long>(error));
        RecordError(failure, text.GetString());
        return FALSE;
    }

    // A time that is not 14 digits of a real date leaves the copy's own time.
    ListTime listed;
    if (ParseListTime(item.m_strFileTime.View(), &listed))
        SetListedTime(target, listed);
    return TRUE;
}

BOOL UpdateProgressDialog::RemoveStagingFolder(const CString& folder)
{
    char buffer[kShellPathBuffer];
    // A path that does not fit is left alone: cut short, it would name another folder.
    if (!FillShellPathBuffer(folder.View(), buffer))
        return FALSE;
    const DWORD attributes = GetFileAttributesA(buffer);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return TRUE;
    // A link put in its place is removed itself: what it points at is never deleted.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return RemoveDirectoryA(buffer);
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = m_hWnd;
    operation.wFunc = FO_DELETE;
    operation.pFrom = buffer;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    return SHFileOperationA(&operation) == 0;
}
