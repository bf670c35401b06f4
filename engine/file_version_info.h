// A file's version resource, read once into a heap block of its own.
#pragma once

#include <windows.h>

#include "framework/narrow_string.h"

class FileVersionInfo {
public:
    FileVersionInfo() = default;
    virtual ~FileVersionInfo();
    FileVersionInfo(const FileVersionInfo&) = delete;
    FileVersionInfo& operator=(const FileVersionInfo&) = delete;

    // Reads path's version resource. A resource without a translation table counts as
    // none: FALSE, and nothing is kept.
    BOOL Load(const char* path);
    // The fixed part of the loaded resource.
    BOOL GetFixedInfo(VS_FIXEDFILEINFO* out) const;
    // The file version (not the product version) as "a,b,c,d"; empty without one.
    CString GetVersionText() const;
    void Free();

    // TRUE when first is the higher version (see engine/version_text.h).
    static BOOL CompareVersions(const CString& first, const CString& second);
    static BOOL ParseVersion(const CString& text, WORD* values, int count);

    BYTE* m_pBlock = nullptr;
};
