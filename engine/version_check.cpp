// The version check: which listed files are already current on this machine. Versioned
// files (.dll, .ocx, .exe) compare their version resource with the listed version; other
// files, and versioned ones listed without a version, compare size and time stamp.
#include "engine/file_version_info.h"
#include "engine/version_text.h"
#include "framework/handles.h"
#include "ui/progress_dialog.h"

namespace {

// The decision for a present versioned file, or 0 when the versions say nothing.
int DecideByVersion(const UpdateItem& item)
{
    FileVersionInfo info;
    if (!info.Load(item.m_strTargetPath))
        return 0;
    const CString installedText = info.GetVersionText();
    info.Free();
    const std::string installed = NormalizeVersionText(installedText.View());
    const std::string offered = NormalizeVersionText(item.m_strVersion.View());
    if (installed.empty() || offered.empty())
        return 0;
    // A newer version on the server leaves the record to be updated.
    if (CompareVersionTexts(offered, installed))
        return 0;
    return CompareVersionTexts(installed, offered) ? kInstalledNewer : kNoUpdate;
}

}  // namespace

BOOL UpdateProgressDialog::CheckVersions()
{
    ClearLastError();
    Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, m_progress);

    // Decided on a copy: the list keeps its records as parsed, but for their state.
    return m_items.ForEachWorkingCopy([this](UpdateItem& stored, UpdateItem& item) {
        const BOOL present = FileExists(item.m_strTargetPath);
        if (present && item.m_bAtFirst == 1) {
            stored.m_nUpdateState = kNoUpdate;
            return;
        }
        item.m_strFileName.TrimRight();
        const bool versioned = HasVersionedExtension(item.m_strFileName.View());
        const bool byVersion = versioned && !item.m_strVersion.IsEmpty();
        // Listed without a version and without size or time: nothing to tell it by.
        if (versioned && !byVersion && (item.m_nFileSize == 0 || item.m_strFileTime.IsEmpty()))
            return;
        if (!present)
            return;

        if (byVersion) {
            if (const int state = DecideByVersion(item))
                stored.m_nUpdateState = state;
        } else if (FileSizeMatches(item.m_strTargetPath, item.m_nFileSize) &&
                   FileTimeMatches(item.m_strTargetPath, item.m_strFileTime)) {
            stored.m_nUpdateState = kNoUpdate;
        }
    });
}

BOOL UpdateProgressDialog::FileExists(const CString& path)
{
    const FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid() ? TRUE : FALSE;
}

BOOL UpdateProgressDialog::FileSizeMatches(const CString& path, int size)
{
    if (size == -1)
        return FALSE;
    // Not shared: a file that someone else has open is not taken as current.
    FileHandle file(CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return FALSE;
    const DWORD low = GetFileSize(file.Get(), nullptr);
    file.Close();
    if (low == INVALID_FILE_SIZE)
        return FALSE;
    return static_cast<long long>(low) == size ? TRUE : FALSE;
}

BOOL UpdateProgressDialog::FileTimeMatches(const CString& path, const CString& stamp)
{
    if (stamp.IsEmpty())
        return FALSE;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return FALSE;
    // Local time with the daylight offset of the file's own date, as a list written on a
    // machine in the same zone would give it.
    SYSTEMTIME utc = {}, local = {};
    if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return FALSE;
    CString text;
    text.Format("%04d%02d%02d%02d%02d%02d", local.wYear, local.wMonth, local.wDay, local.wHour,
                local.wMinute, local.wSecond);
    return FileTimeStampMatches(text.View(), stamp.View()) ? TRUE : FALSE;
}
