// One file named by the update list, and the run's single list of owned records.
#pragma once

#include "engine/item_states.h"
#include "framework/narrow_string.h"
#include "framework/ptr_array.h"

class UpdateItem {
public:
    UpdateItem() = default;
    virtual ~UpdateItem() = default;
    UpdateItem(const UpdateItem&) = default;
    UpdateItem& operator=(const UpdateItem&) = default;
    UpdateItem(UpdateItem&&) = default;
    UpdateItem& operator=(UpdateItem&&) = default;

    void Reset();
    void CopyFrom(const UpdateItem& other);

    int m_bRegister = 0;
    int m_bAtFirst = 0;
    int m_bRun = 0;
    int m_bRunSilent = 0;
    int m_nUpdateState = kNoUpdate;
    int m_nResult = kResultNothingDone;
    int m_nErrorCode = 0;  // the code its failure recorded, 0 for none
    int m_nFileSize = -1;
    CString m_strFileName;
    CString m_strVersion;
    CString m_strFileTime;
    CString m_strDownloadURL;
    CString m_strTargetDir;
    CString m_strStagePath;
    CString m_strTargetPath;
    CString m_strErrorText;
    // The published SHA-256 of the file (64 lower-case hex digits), or empty.
    CString m_strSha256;
};

// The version check left the record to be downloaded and installed.
inline bool ToBeUpdated(const UpdateItem& item)
{
    return item.m_nUpdateState == kUpdateFile || item.m_nUpdateState == kInstalledNewer;
}

// Owns the records it points to: whatever is still in it when it goes away is deleted.
class UpdateItemList : public PtrArray<UpdateItem> {
public:
    UpdateItemList() = default;
    ~UpdateItemList();

    INT_PTR GetCount() const { return GetSize(); }

    // Walks the records in list order, each on a working copy, as the steps do:
    // visit(stored, copy) decides on the copy and writes its results into stored. An
    // empty slot ends the walk; the result is then false.
    template <typename Visit> bool ForEachWorkingCopy(Visit visit)
    {
        const INT_PTR count = GetCount();
        UpdateItem copy;
        for (INT_PTR i = 0; i < count; ++i) {
            UpdateItem* stored = GetAt(i);
            if (!stored)
                return false;
            copy.CopyFrom(*stored);
            visit(*stored, copy);
        }
        return true;
    }
};
