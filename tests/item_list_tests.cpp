// The update item record and the run's list of them.
#include <gtest/gtest.h>

#include "ui/progress_dialog.h"

namespace {

void ExpectInitial(const UpdateItem& item)
{
    EXPECT_EQ(item.m_bRegister, 0);
    EXPECT_EQ(item.m_bAtFirst, 0);
    EXPECT_EQ(item.m_bRun, 0);
    EXPECT_EQ(item.m_bRunSilent, 0);
    EXPECT_EQ(item.m_nUpdateState, 4) << "no update until a step decides";
    EXPECT_EQ(item.m_nResult, 2) << "nothing done";
    EXPECT_EQ(item.m_nFileSize, -1) << "no size";
    for (const CString* text : {&item.m_strFileName, &item.m_strVersion, &item.m_strFileTime, &item.m_strDownloadURL,
                                &item.m_strTargetDir, &item.m_strStagePath, &item.m_strTargetPath, &item.m_strErrorText})
        EXPECT_TRUE(text->IsEmpty());
}

UpdateItem FilledItem()
{
    UpdateItem item;
    item.m_bRegister = 1;
    item.m_bAtFirst = 1;
    item.m_bRun = 1;
    item.m_bRunSilent = 1;
    item.m_nUpdateState = 5;
    item.m_nResult = 7;
    item.m_nFileSize = 53248;
    item.m_strFileName = "core.dll";
    item.m_strVersion = "1,0,3,2";
    item.m_strFileTime = "20080314102231";
    item.m_strDownloadURL = "http://h/core.dll";
    item.m_strTargetDir = "C:\\모듈";
    item.m_strStagePath = "C:\\모듈\\Update\\core.dll";
    item.m_strTargetPath = "C:\\모듈\\core.dll";
    item.m_strErrorText = "오류";
    return item;
}

// Records its own destruction, to see which records a release frees.
struct TrackedItem : UpdateItem {
    explicit TrackedItem(int* deleted) : m_deleted(deleted) {}
    ~TrackedItem() override { ++*m_deleted; }
    int* m_deleted;
};

}  // namespace

TEST(UpdateItem, ConstructionAndResetGiveTheInitialValues)
{
    UpdateItem fresh;
    ExpectInitial(fresh);
    UpdateItem used = FilledItem();
    used.Reset();
    ExpectInitial(used);
}

TEST(UpdateItem, CopyFromCopiesAllFifteenFields)
{
    const UpdateItem source = FilledItem();
    UpdateItem copy;
    copy.CopyFrom(source);
    EXPECT_EQ(copy.m_bRegister, 1);
    EXPECT_EQ(copy.m_bAtFirst, 1);
    EXPECT_EQ(copy.m_bRun, 1);
    EXPECT_EQ(copy.m_bRunSilent, 1);
    EXPECT_EQ(copy.m_nUpdateState, 5);
    EXPECT_EQ(copy.m_nResult, 7);
    EXPECT_EQ(copy.m_nFileSize, 53248);
    EXPECT_EQ(copy.m_strFileName, source.m_strFileName);
    EXPECT_EQ(copy.m_strVersion, source.m_strVersion);
    EXPECT_EQ(copy.m_strFileTime, source.m_strFileTime);
    EXPECT_EQ(copy.m_strDownloadURL, source.m_strDownloadURL);
    EXPECT_EQ(copy.m_strTargetDir, source.m_strTargetDir);
    EXPECT_EQ(copy.m_strStagePath, source.m_strStagePath);
    EXPECT_EQ(copy.m_strTargetPath, source.m_strTargetPath);
    EXPECT_EQ(copy.m_strErrorText, source.m_strErrorText);
}

TEST(UpdateItemList, AddStoresIndependentCopiesInOrder)
{
    UpdateProgressDialog dialog;
    UpdateItem item = FilledItem();
    dialog.AddUpdateItem(item);
    item.m_strFileName = "other.dll";
    item.m_nFileSize = 1;
    dialog.AddUpdateItem(item);
    item.m_strFileName = "changed later";

    ASSERT_EQ(dialog.m_items.GetCount(), 2);
    EXPECT_NE(dialog.m_items.GetAt(0), dialog.m_items.GetAt(1)) << "each add allocates its own record";
    EXPECT_EQ(dialog.m_items.GetAt(0)->m_strFileName, "core.dll") << "the caller's later change stays out";
    EXPECT_EQ(dialog.m_items.GetAt(0)->m_nFileSize, 53248);
    EXPECT_EQ(dialog.m_items.GetAt(1)->m_strFileName, "other.dll") << "appended at the end";
}

TEST(UpdateItemList, ReleasingAnEmptyListReportsNothing)
{
    UpdateProgressDialog dialog;
    dialog.ReleaseItems();
    EXPECT_EQ(dialog.m_items.GetCount(), 0);
    EXPECT_EQ(dialog.m_lastErrorCode, 0) << "no error for an empty list";
    EXPECT_TRUE(dialog.m_lastErrorText.IsEmpty());
}

TEST(UpdateItemList, ReleaseDeletesEveryRecordAndEmptiesTheList)
{
    UpdateProgressDialog dialog;
    int deleted = 0;
    for (int i = 0; i < 3; ++i)
        dialog.m_items.SetAtGrow(dialog.m_items.GetSize(), new TrackedItem(&deleted));
    dialog.ReleaseItems();
    EXPECT_EQ(deleted, 3) << "every record freed through its virtual destructor";
    EXPECT_EQ(dialog.m_items.GetCount(), 0);
    EXPECT_EQ(dialog.m_items.GetMaxSize(), 0) << "the array's storage is given back";
    EXPECT_EQ(dialog.m_lastErrorCode, 0);
}

TEST(UpdateItemList, EmptySlotGivesErrorTwentyAndLosesNoRecord)
{
    UpdateProgressDialog dialog;
    int deleted = 0;
    dialog.m_items.SetAtGrow(0, new TrackedItem(&deleted));
    dialog.m_items.SetAtGrow(2, new TrackedItem(&deleted));  // slot 1 stays empty
    ASSERT_EQ(dialog.m_items.GetAt(1), nullptr);
    dialog.ReleaseItems();
    EXPECT_EQ(dialog.m_lastErrorCode, 20) << "an empty slot is reported";
    EXPECT_EQ(dialog.m_lastErrorText, "리스트에서 데이타를 가져올수 없습니다.");
    EXPECT_EQ(dialog.m_items.GetCount(), 0) << "the list is emptied all the same";
    EXPECT_EQ(deleted, 2) << "the record after the gap is freed too";
}

TEST(UpdateItemList, DestroyingTheListFreesWhatIsLeft)
{
    int deleted = 0;
    {
        UpdateItemList list;
        list.SetAtGrow(0, new TrackedItem(&deleted));
        list.SetAtGrow(1, new TrackedItem(&deleted));
    }
    EXPECT_EQ(deleted, 2);
}
