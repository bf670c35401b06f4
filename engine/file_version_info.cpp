#include "engine/file_version_info.h"

#include <cstring>
#include <new>
#include <type_traits>

#include "engine/version_text.h"

static_assert(std::is_same<WORD, uint16_t>::value, "version components are 16-bit words");

FileVersionInfo::~FileVersionInfo() { Free(); }

BOOL FileVersionInfo::Load(const char* path)
{
    Free();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return FALSE;
    m_pBlock = new (std::nothrow) BYTE[size];
    if (!m_pBlock)
        return FALSE;
    void* translation = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(path, 0, size, m_pBlock) ||
        !VerQueryValueA(m_pBlock, "\\VarFileInfo\\Translation", &translation, &length)) {
        Free();
        return FALSE;
    }
    return TRUE;
}

BOOL FileVersionInfo::GetFixedInfo(VS_FIXEDFILEINFO* out) const
{
    if (!m_pBlock)
        return FALSE;
    void* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(m_pBlock, "\\", &fixed, &length))
        return FALSE;
    // A resource whose fixed part is cut short has none to copy from.
    if (!fixed || length < sizeof(VS_FIXEDFILEINFO))
        return FALSE;
    std::memcpy(out, fixed, sizeof(VS_FIXEDFILEINFO));
    return TRUE;
}

CString FileVersionInfo::GetVersionText() const
{
    VS_FIXEDFILEINFO fixed = {};
    CString text;
    if (!GetFixedInfo(&fixed))
        return text;
    text.Format("%u,%u,%u,%u", static_cast<unsigned>(HIWORD(fixed.dwFileVersionMS)),
                static_cast<unsigned>(LOWORD(fixed.dwFileVersionMS)),
                static_cast<unsigned>(HIWORD(fixed.dwFileVersionLS)),
                static_cast<unsigned>(LOWORD(fixed.dwFileVersionLS)));
    return text;
}

void FileVersionInfo::Free()
{
    delete[] m_pBlock;
    m_pBlock = nullptr;
}

BOOL FileVersionInfo::CompareVersions(const CString& first, const CString& second)
{
    return CompareVersionTexts(first.View(), second.View()) ? TRUE : FALSE;
}

BOOL FileVersionInfo::ParseVersion(const CString& text, WORD* values, int count)
{
    ParseVersionText(text.View(), values, count);
    return TRUE;
}
