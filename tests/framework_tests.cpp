// The framework layer: multibyte-aware text, the pointer array, handles, threads.
#include <gtest/gtest.h>

#include "framework/handles.h"
#include "framework/mbcs.h"
#include "framework/narrow_string.h"
#include "framework/ptr_array.h"
#include "framework/worker_thread.h"

namespace {

// In code page 949 every byte 0x81..0xFE leads a pair. Here the pairs end in '\' and
// '|' so that a byte-wise search would find them: "\x81\x5C" and "\xB0\x7C".
const std::string kTrailBackslash = "\x81\x5C";
const std::string kTrailBar = "\xB0\x7C";

}  // namespace

TEST(Mbcs, TheTestProcessRunsInCodePage949)
{
    ASSERT_EQ(GetACP(), 949u) << "the wrapper sets the Korean locale";
    EXPECT_TRUE(LeadByteTable::Ansi().IsLead(0xB0));
    EXPECT_FALSE(LeadByteTable::Ansi().IsLead('\\'));
    // The Korean literals are compiled to code page 949.
    const char* text = "업데이트 완료.";
    wchar_t wide[32] = {};
    MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, text, -1, wide, 32);
    EXPECT_STREQ(wide, L"\uC5C5\uB370\uC774\uD2B8 \uC644\uB8CC.");
}

TEST(Mbcs, SearchesNeverMatchATrailByte)
{
    const std::string text = "C:" + kTrailBackslash + "dir" + kTrailBar + "x\\f|g";
    EXPECT_EQ(MbFind(text, "\\", 0), text.find("x\\") + 1) << "the real backslash, not the trail byte";
    EXPECT_EQ(MbFind(text, "|", 0), text.rfind('|')) << "the real bar, not the trail byte";
    EXPECT_EQ(MbReverseFind(kTrailBackslash + "name", '\\'), kNotFound) << "no backslash at all";
    EXPECT_EQ(MbReverseFind("a\\b" + kTrailBackslash, '\\'), 1u) << "last real backslash";
    EXPECT_EQ(MbFind(kTrailBar + "|", "|", 0), 2u);
    EXPECT_EQ(MbFind("ab", "", 1), 1u) << "an empty pattern is found at the start";
    EXPECT_EQ(MbFind("ab", "b", 3), kNotFound) << "start past the end";
    // A pattern that begins with a trail byte is not found inside the pair.
    EXPECT_EQ(MbFind(kTrailBackslash, "\x5C", 0), kNotFound);
    // A lead byte at the very end stands alone.
    EXPECT_EQ(MbFind("a\x81", "\x81", 0), 1u);
}

TEST(Mbcs, ShiftJisCharactersWithBackslashTrailAreKept)
{
    const LeadByteTable sjis = LeadByteTable::ForCodePage(932);
    const std::string hyou = "\x95\x5C";  // a kanji whose second byte is '\'
    EXPECT_EQ(MbFind(hyou + "\\x", "\\", 0, sjis), 2u);
    EXPECT_EQ(std::string(MbTrim(hyou + "\\\\", "\\", false, true, sjis)), hyou) << "trim stops at the kanji";
    int count = 0;
    EXPECT_EQ(MbRemove(hyou + "\\" + hyou, '\\', &count, sjis), hyou + hyou);
    EXPECT_EQ(count, 1);
}

TEST(Mbcs, ReplaceIsLeftToRightNonOverlappingAndTrailAware)
{
    int count = 0;
    EXPECT_EQ(MbReplace("aaa", "aa", "b", &count), "ba");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(MbReplace("%A%%A%", "%A%", "%A%x", &count), "%A%x%A%x") << "an inserted value is not searched again";
    EXPECT_EQ(count, 2);
    EXPECT_EQ(MbReplace(kTrailBar + "|", "|", "/", &count), kTrailBar + "/");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(MbReplace("abc", "", "x", &count), "abc") << "an empty pattern replaces nothing";
    EXPECT_EQ(count, 0);
    // A pattern ending in a lead byte ends inside a character: the trail byte stays, and
    // it is never taken for a character of its own.
    EXPECT_EQ(MbReplace("\xB0\xB0\xB0\x5C", "\xB0", "", &count), "\xB0\x5C") << "trail bytes survive";
    EXPECT_EQ(count, 2) << "one hit at the start of each of the two characters";
}

TEST(CString, TrimAndWhitespace)
{
    CString line(" \t\r\n\v\fvalue \r\n");
    line.Trim();
    EXPECT_EQ(line, "value");
    CString spaces("  a b  ");
    spaces.TrimLeft(' ');
    EXPECT_EQ(spaces, "a b  ");
    spaces.TrimRight(' ');
    EXPECT_EQ(spaces, "a b");
    CString blank(" \t ");
    blank.Trim();
    EXPECT_TRUE(blank.IsEmpty());
    CString korean(CString("  ") + "업데이트\t");
    korean.Trim();
    EXPECT_EQ(korean, "업데이트") << "double-byte text survives trimming";
}

TEST(CString, FindReverseFindAndSlicing)
{
    const CString path = CString("C:\\") + kTrailBackslash.c_str() + "\\core.dll";
    const int slash = path.ReverseFind('\\');
    EXPECT_EQ(path.Mid(slash + 1), "core.dll");
    EXPECT_EQ(path.Left(slash), CString("C:\\") + kTrailBackslash.c_str());
    EXPECT_EQ(path.Find('\\', 3), 5) << "skips the trail byte at 3";
    EXPECT_EQ(path.Find("dll"), path.GetLength() - 3);
    EXPECT_EQ(path.Find('x', 100), -1) << "start past the end";
    EXPECT_EQ(CString("abc").Left(10), "abc") << "counts past the end are clamped";
    EXPECT_EQ(CString("abc").Mid(5), "");
    EXPECT_EQ(CString("abc").Mid(1, 10), "bc");
    EXPECT_EQ(CString("abc").Right(2), "bc");
    EXPECT_EQ(CString("abc").Left(-1), "");
}

TEST(CString, ReplaceRemoveAndFormat)
{
    CString text("1,024,000 ");
    EXPECT_EQ(text.Remove(','), 2);
    EXPECT_EQ(text, "1024000 ");
    CString macros("%System%\\a;%System%\\b");
    EXPECT_EQ(macros.Replace("%System%", "C:\\WINDOWS\\system32"), 2);
    EXPECT_EQ(macros, "C:\\WINDOWS\\system32\\a;C:\\WINDOWS\\system32\\b");

    CString formatted;
    formatted.Format("%s\\%s", "C:\\dir", "Update");
    EXPECT_EQ(formatted, "C:\\dir\\Update");
    formatted.Format("%d%%", 46);
    EXPECT_EQ(formatted, "46%");
    const std::string longText(10000, 'x');
    formatted.Format("%s/%s", longText.c_str(), "f");
    EXPECT_EQ(formatted.GetLength(), 10002) << "no fixed buffer limits a formatted text";
    formatted.Format("%s!", formatted.GetString());
    EXPECT_EQ(formatted.GetLength(), 10003) << "formatting from its own text";
}

TEST(PtrArray, SetAtGrowFillsNewSlotsWithNullAndGrowsByTheDefaultRule)
{
    int a = 1, b = 2;
    PtrArray<int> array;
    array.SetAtGrow(0, &a);
    EXPECT_EQ(array.GetSize(), 1);
    EXPECT_EQ(array.GetMaxSize(), 4) << "the first growth is at least 4";
    array.SetAtGrow(5, &b);
    ASSERT_EQ(array.GetSize(), 6);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(array.GetAt(i), nullptr) << "slot " << i;
    EXPECT_EQ(array.GetAt(5), &b);
    for (int i = 6; i < 200; ++i)
        array.SetAtGrow(array.GetSize(), &a);
    EXPECT_EQ(array.GetSize(), 200);
    EXPECT_GE(array.GetMaxSize(), 200);
    EXPECT_LE(array.GetMaxSize(), 200 + 200 / 8 + 4) << "growth by about an eighth";
    EXPECT_EQ(array.GetData()[0], &a) << "contents survive growth";
    array.RemoveAll();
    EXPECT_EQ(array.GetSize(), 0);
    EXPECT_EQ(array.GetData(), nullptr) << "storage freed";
}

TEST(Handles, CloseKeepsTheLastErrorAndMovesTransferOwnership)
{
    char path[MAX_PATH];
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "vx", 0, path);
    FileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << "temporary file";
    FileHandle moved(std::move(file));
    EXPECT_FALSE(file) << "the moved-from owner holds nothing";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(moved.Get(), "x", 1, &written, nullptr)) << "the new owner's handle works";
    SetLastError(ERROR_SHARING_VIOLATION);
    moved.Close();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "closing keeps the error";
    EXPECT_FALSE(moved);
    EXPECT_TRUE(DeleteFileA(path)) << "the file was closed, so it can be deleted";

    FindHandle none;
    EXPECT_EQ(none.Get(), INVALID_HANDLE_VALUE) << "a find handle's invalid value";
    CBitmap bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
    ASSERT_TRUE(bitmap);
    HBITMAP raw = bitmap.Get();
    bitmap.Reset();
    BITMAP info;
    EXPECT_EQ(GetObjectA(raw, sizeof(info), &info), 0) << "reset deletes the GDI object";
}

TEST(WorkerThread, RunsTheProcedureWithItsParameter)
{
    KernelHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    struct Context {
        HANDLE event;
        DWORD thread;
    } context = {done.Get(), 0};
    ASSERT_TRUE(BeginWorkerThread(
        [](LPVOID p) -> UINT {
            auto* c = static_cast<Context*>(p);
            c->thread = GetCurrentThreadId();
            SetEvent(c->event);
            return 1;
        },
        &context));
    ASSERT_EQ(WaitForSingleObject(done.Get(), 10000), WAIT_OBJECT_0) << "the worker ran";
    EXPECT_NE(context.thread, GetCurrentThreadId()) << "on a thread of its own";
}
