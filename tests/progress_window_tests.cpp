// The progress window on the real window system: its resources, its shape, its painting,
// keyboard, close and drag, its fonts, and the objects its runs leave behind. Probes run
// on the worker while the window is shown; what they read is checked after the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/run_recorder.h"
#include "tests/scripted_steps.h"
#include "tests/support/window_probe.h"
#include "ui/progress_dialog.h"

namespace {

constexpr int kSkinWidth = 367;
constexpr int kSkinHeight = 54;
constexpr WORD kKorean = MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN);  // 1042
constexpr COLORREF kStatusColour = RGB(156, 0, 51);
constexpr COLORREF kPercentColour = RGB(207, 35, 85);
constexpr RECT kStatusRect = {149, 13, 310, 28};
constexpr RECT kPercentRect = {316, 13, 477, 28};
constexpr RECT kBarRect = {150, 30, 345, 42};
constexpr COLORREF kBarColumn[12] = {
    RGB(253, 69, 129), RGB(254, 45, 113), RGB(254, 113, 159), RGB(251, 139, 175),
    RGB(249, 140, 175), RGB(246, 123, 161), RGB(237, 86, 133), RGB(221, 59, 107),
    RGB(206, 55, 99),  RGB(196, 59, 97),  RGB(192, 60, 97),  RGB(197, 74, 107),
};

bool In(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// The corner pixel and its two neighbours along the edges, at each corner.
bool IsCornerKeyPixel(int x, int y)
{
    const int dx = x < kSkinWidth / 2 ? x : kSkinWidth - 1 - x;
    const int dy = y < kSkinHeight / 2 ? y : kSkinHeight - 1 - y;
    return dx + dy <= 1;
}

std::vector<COLORREF> ShippedSkinPixels()
{
    CBitmap skin(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_SKIN)));
    int width = 0, height = 0;
    std::vector<COLORREF> pixels = BitmapPixels(skin.Get(), &width, &height);
    return width == kSkinWidth && height == kSkinHeight ? pixels : std::vector<COLORREF>();
}

// Reads a resource's data in the Korean language.
const BYTE* KoreanResource(LPCSTR type, UINT id, DWORD* size)
{
    HRSRC found = FindResourceExA(nullptr, type, MAKEINTRESOURCEA(id), kKorean);
    if (!found)
        return nullptr;
    *size = SizeofResource(nullptr, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
}

// Walks an extended dialog template.
struct TemplateReader {
    const BYTE* p;
    template <typename T> T Take() { T value; memcpy(&value, p, sizeof(T)); p += sizeof(T); return value; }
    std::wstring Text()  // a string or an ordinal (0xFFFF, value), as "#value"
    {
        if (Take<WORD>() == 0xFFFF)
            return L"#" + std::to_wstring(Take<WORD>());
        p -= sizeof(WORD);
        std::wstring text;
        for (WCHAR c; (c = Take<WCHAR>()) != 0;)
            text += c;
        return text;
    }
    void AlignDword(const BYTE* base) { p += (4 - (p - base) % 4) % 4; }
};

struct ItemTemplate {
    DWORD id;
    const wchar_t* text;
    DWORD style;
    short x, y, cx, cy;
};

// --- resources --------------------------------------------------------------------------

TEST(SkinResources, TemplateIsACaptionlessPopupWithTwoHiddenButtons)
{
    DWORD size = 0;
    const BYTE* base = KoreanResource(RT_DIALOG, IDD_UPDATE_PROGRESS, &size);
    ASSERT_TRUE(base) << "template 201 exists in Korean";
    TemplateReader t{base};
    EXPECT_EQ(t.Take<WORD>(), 1) << "extended template version";
    EXPECT_EQ(t.Take<WORD>(), 0xFFFF) << "extended template signature";
    t.Take<DWORD>();  // help id
    EXPECT_EQ(t.Take<DWORD>(), 0u) << "no extended style";
    EXPECT_EQ(t.Take<DWORD>(), 0x90000044u) << "WS_POPUP | WS_VISIBLE | DS_SETFONT | DS_3DLOOK";
    const WORD items = t.Take<WORD>();
    const short frame[4] = {t.Take<short>(), t.Take<short>(), t.Take<short>(), t.Take<short>()};
    EXPECT_EQ(std::vector<short>(frame, frame + 4), (std::vector<short>{0, 0, 227, 65})) << "position and size";
    EXPECT_EQ(t.Text(), L"") << "no menu";
    EXPECT_EQ(t.Text(), L"") << "no class";
    EXPECT_EQ(t.Text(), L"") << "no caption";
    EXPECT_EQ(t.Take<WORD>(), 9) << "font size in points";
    t.Take<WORD>();  // weight
    t.Take<BYTE>();  // italic
    t.Take<BYTE>();  // character set
    EXPECT_EQ(t.Text(), L"\xAD74\xB9BC") << "font face \"굴림\"";

    const ItemTemplate expected[] = {
        {IDOK, L"OK", 0x40000001, 122, 3, 22, 13},
        {IDCANCEL, L"Cancel", 0x40000000, 146, 0, 22, 13},
    };
    ASSERT_EQ(items, 2) << "two controls";
    for (const ItemTemplate& want : expected) {
        SCOPED_TRACE(testing::Message() << "control " << want.id);
        t.AlignDword(base);
        t.Take<DWORD>();  // help id
        EXPECT_EQ(t.Take<DWORD>(), 0u) << "no extended style";
        EXPECT_EQ(t.Take<DWORD>(), want.style) << "style: a hidden child button";
        const short box[4] = {t.Take<short>(), t.Take<short>(), t.Take<short>(), t.Take<short>()};
        EXPECT_EQ(std::vector<short>(box, box + 4), (std::vector<short>{want.x, want.y, want.cx, want.cy}))
            << "position and size";
        EXPECT_EQ(t.Take<DWORD>(), want.id) << "id";
        const std::wstring type = t.Text();
        EXPECT_TRUE(type == L"#128" || _wcsicmp(type.c_str(), L"button") == 0) << "class button";
        EXPECT_EQ(t.Text(), want.text) << "text";
        t.Take<WORD>();  // creation data
    }
    EXPECT_LE(static_cast<DWORD>(t.p - base), size) << "the walk stays inside the resource";
}

TEST(SkinResources, BitmapsAreThirtyTwoBitsWithTheWindowsGeometry)
{
    struct Expected {
        UINT id;
        LONG width, height;
    };
    for (const Expected want : {Expected{IDB_SKIN, kSkinWidth, kSkinHeight}, Expected{IDB_BAR, 1, 12}}) {
        SCOPED_TRACE(testing::Message() << "bitmap " << want.id);
        DWORD size = 0;
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(KoreanResource(RT_BITMAP, want.id, &size));
        ASSERT_TRUE(header) << "exists in Korean";
        ASSERT_GE(size, sizeof(BITMAPINFOHEADER) + 4u * want.width * want.height) << "header and pixels";
        EXPECT_EQ(header->biWidth, want.width) << "width";
        EXPECT_EQ(header->biHeight, want.height) << "height, positive: bottom-up";
        EXPECT_EQ(header->biBitCount, 32) << "bits per pixel";
        EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB)) << "uncompressed";
    }

    const std::vector<COLORREF> skin = ShippedSkinPixels();
    ASSERT_FALSE(skin.empty()) << "the skin loads at 367 by 54";
    std::vector<COLORREF> trough, outside;
    int wrongKeys = 0, textColoured = 0;
    for (int y = 0; y < kSkinHeight; ++y) {
        for (int x = 0; x < kSkinWidth; ++x) {
            const COLORREF c = skin[y * kSkinWidth + x];
            wrongKeys += (c == kSkinKeyColor) != IsCornerKeyPixel(x, y);
            textColoured += c == kStatusColour || c == kPercentColour;
            (In(kBarRect, x, y) ? trough : outside).push_back(c);
        }
    }
    EXPECT_EQ(wrongKeys, 0) << "the key colour is at exactly the twelve corner pixels";
    EXPECT_EQ(textColoured, 0) << "the text colours are not in the skin, so drawn text can be told apart";
    int troughColourOutside = 0;
    for (COLORREF c : outside)
        troughColourOutside += std::find(trough.begin(), trough.end(), c) != trough.end();
    EXPECT_EQ(troughColourOutside, 0) << "the trough's colours are found exactly at the bar box";

    CBitmap bar(LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_BAR)));
    int width = 0, height = 0;
    const std::vector<COLORREF> column = BitmapPixels(bar.Get(), &width, &height);
    EXPECT_EQ(column, std::vector<COLORREF>(kBarColumn, kBarColumn + 12)) << "the bar column's twelve colours, top to bottom";
}

// --- runs with the window shown ---------------------------------------------------------

class ShownWindow : public testing::Test {
protected:
    void SetUp() override
    {
        Script() = StepScript();
        Script().filesToDownload = 2;
        StagingRemovals() = 0;
        ASSERT_FALSE(UpdateProgressDialog::IsNtVersion6()) << "the window shows only on systems other than NT 6.x";
    }
    // Runs the dialog; the probe runs on the worker during the download, window shown.
    RecordedRun Run(std::function<void(UpdateProgressDialog&)> probe)
    {
        Script().after[static_cast<int>(Step::Download)] = std::move(probe);
        return RunRecorded(dialog);
    }
    static void ExpectCompleted(const RecordedRun& run)
    {
        EXPECT_EQ(run.endCode, IDOK) << "the dialog ends through the run's end";
        ASSERT_GE(run.notes.size(), 2u);
        EXPECT_EQ(run.notes[run.notes.size() - 2].runState, Completed) << "the run went on to its end";
    }
    UpdateProgressDialog dialog;
};

TEST_F(ShownWindow, RegionIsTheSkinWithoutItsTwelveKeyPixelsAndTheSkinIsPainted)
{
    WindowShot shot;
    HWND window = nullptr, atKey = nullptr, beside = nullptr;
    const RecordedRun run = Run([&](UpdateProgressDialog& d) {
        window = d.Window();
        shot = CaptureWindow(window);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        atKey = WindowFromPoint({origin.x + 1, origin.y});
        beside = WindowFromPoint({origin.x + 2, origin.y});
    });
    ExpectCompleted(run);
    ASSERT_EQ(shot.width, kSkinWidth) << "shown at the skin's width";
    ASSERT_EQ(shot.height, kSkinHeight) << "shown at the skin's height";
    ASSERT_TRUE(shot.hasRegion) << "the window has a region";

    const std::vector<COLORREF> skin = ShippedSkinPixels();
    ASSERT_FALSE(skin.empty());
    int wrongRegion = 0, unpainted = 0;
    for (int y = 0; y < kSkinHeight; ++y) {
        for (int x = 0; x < kSkinWidth; ++x) {
            wrongRegion += shot.Inside(x, y) == IsCornerKeyPixel(x, y);
            const bool drawnOver = In(kStatusRect, x, y) || In(kPercentRect, x, y) || In(kBarRect, x, y);
            unpainted += shot.Inside(x, y) && !drawnOver && shot.At(x, y) != skin[y * kSkinWidth + x];
        }
    }
    EXPECT_EQ(wrongRegion, 0) << "the region is the 367 by 54 rectangle without exactly the twelve key pixels";
    EXPECT_EQ(unpainted, 0) << "outside the bar and the texts the window shows the skin pixel for pixel";
    EXPECT_NE(atKey, window) << "a cut corner pixel is not the window's";
    EXPECT_EQ(beside, window) << "the pixel beside it is";
}

TEST_F(ShownWindow, TheZeroSizedWindowsRegionIsTheFourCornerSquaresUntilTheWindowIsShown)
{
    // While zero-sized the window's face holds no skin pixels: every corner square stays.
    const RECT squares[] = {{0, 0, 3, 3}, {364, 0, 367, 3}, {0, 51, 3, 54}, {364, 51, 367, 54}};
    int covered = -1, inSquares = 0;
    Script().after[static_cast<int>(Step::Fetch)] = [&](UpdateProgressDialog& d) {
        CRgn region(CreateRectRgn(0, 0, 0, 0));
        if (GetWindowRgn(d.Window(), region.Get()) == ERROR)
            return;
        covered = 0;
        for (int y = 0; y < kSkinHeight; ++y)
            for (int x = 0; x < kSkinWidth; ++x)
                covered += PtInRegion(region.Get(), x, y) != 0;
        for (const RECT& r : squares)
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    inSquares += PtInRegion(region.Get(), x, y) != 0;
    };
    WindowShot shot;
    const RecordedRun run = Run([&](UpdateProgressDialog& d) { shot = CaptureWindow(d.Window()); });
    ExpectCompleted(run);
    EXPECT_EQ(inSquares, 36) << "each 3 by 3 corner square is in the first region";
    EXPECT_EQ(covered, 36) << "and nothing else";
    int insideShown = 0;
    for (size_t i = 0; i < shot.inRegion.size(); ++i)
        insideShown += shot.inRegion[i] != 0;
    EXPECT_EQ(insideShown, kSkinWidth * kSkinHeight - 12) << "replaced once the worker has shown the window";
}

TEST_F(ShownWindow, OnlyExactKeyPixelsInTheCornerSquaresAreCut)
{
    struct Patch {
        RECT area;
        COLORREF colour;
        bool cut;
        const char* what;
    };
    const Patch patches[] = {
        {{0, 0, 3, 3}, kSkinKeyColor, true, "a corner square all of the key colour is removed whole"},
        {{364, 0, 367, 3}, RGB(90, 90, 90), false, "a corner square without key pixels stays whole"},
        {{0, 51, 3, 54}, RGB(254, 0, 255), false, "a near-key colour cuts nothing"},
        {{365, 52, 366, 53}, kSkinKeyColor, true, "a key pixel in the middle of a corner square is cut"},
        {{364, 53, 365, 54}, kSkinKeyColor, true, "and one at the start of its row"},
        {{100, 20, 101, 21}, kSkinKeyColor, false, "a key pixel away from the corners stays part of the window"},
    };
    Script().after[static_cast<int>(Step::Count)] = [&](UpdateProgressDialog& d) {
        // Before the window is shown: the worker then builds the region from this skin.
        WindowDc screen(nullptr);
        CBitmap skin(CreateCompatibleBitmap(screen.Get(), kSkinWidth, kSkinHeight));
        MemoryDc dc(CreateCompatibleDC(screen.Get()));
        {
            SelectionRestore select(dc.Get(), skin.Get());
            const RECT all = {0, 0, kSkinWidth, kSkinHeight};
            HBRUSH grey = CreateSolidBrush(RGB(200, 200, 200));
            FillRect(dc.Get(), &all, grey);
            DeleteObject(grey);
            for (const Patch& p : patches)
                for (int y = p.area.top; y < p.area.bottom; ++y)
                    for (int x = p.area.left; x < p.area.right; ++x)
                        SetPixel(dc.Get(), x, y, p.colour);
        }
        d.m_skinBitmap = std::move(skin);
    };
    WindowShot shot;
    const RecordedRun run = Run([&](UpdateProgressDialog& d) { shot = CaptureWindow(d.Window()); });
    ExpectCompleted(run);
    ASSERT_EQ(shot.width, kSkinWidth);
    ASSERT_EQ(shot.height, kSkinHeight);
    ASSERT_TRUE(shot.hasRegion);
    for (const Patch& p : patches) {
        SCOPED_TRACE(p.what);
        int wrong = 0;
        for (int y = p.area.top; y < p.area.bottom; ++y)
            for (int x = p.area.left; x < p.area.right; ++x)
                wrong += shot.Inside(x, y) == p.cut;
        EXPECT_EQ(wrong, 0) << "pixels on the wrong side of the region";
    }
    EXPECT_EQ(shot.At(100, 20), kSkinKeyColor) << "the key pixel away from the corners is painted";
    int others = 0;
    for (int y = 0; y < kSkinHeight; ++y)
        for (int x = 0; x < kSkinWidth; ++x)
            others += !shot.Inside(x, y);
    EXPECT_EQ(others, 9 + 2) << "nothing else is cut";
}

TEST_F(ShownWindow, BarWidthColoursAndTextsFollowThePercent)
{
    struct Case {
        int percent;
        int barWidth;
    };
    const Case cases[] = {{0, 0}, {46, 89}, {100, 195}};
    WindowShot shots[3];
    bool saved = false;
    const RecordedRun run = Run([&](UpdateProgressDialog& d) {
        for (int i = 0; i < 3; ++i) {
            d.Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, cases[i].percent);
            shots[i] = CaptureWindow(d.Window());
        }
        // The README's picture: the window in the middle of a download.
        saved = SaveShotAsPng(shots[1], "progress-window.png");
    });
    ExpectCompleted(run);
    EXPECT_TRUE(saved) << "the screenshot progress-window.png is written";

    const std::vector<COLORREF> skin = ShippedSkinPixels();
    ASSERT_FALSE(skin.empty());
    int percentPixels[3] = {};
    for (int i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        const WindowShot& shot = shots[i];
        SCOPED_TRACE(testing::Message() << c.percent << " percent");
        ASSERT_EQ(shot.width, kSkinWidth);
        int wrongBar = 0, wrongTrough = 0;
        for (int y = kBarRect.top; y < kBarRect.bottom; ++y) {
            for (int x = kBarRect.left; x < kBarRect.right; ++x) {
                if (x < kBarRect.left + c.barWidth)
                    wrongBar += shot.At(x, y) != kBarColumn[y - kBarRect.top];
                else
                    wrongTrough += shot.At(x, y) != skin[y * kSkinWidth + x];
            }
        }
        EXPECT_EQ(wrongBar, 0) << "a bar of " << c.barWidth << " pixels in the bar column's colours";
        EXPECT_EQ(wrongTrough, 0) << "the skin's trough shows beyond the bar";

        int statusIn = 0, statusOut = 0, percentOut = 0;
        for (int y = 0; y < shot.height; ++y) {
            for (int x = 0; x < shot.width; ++x) {
                const COLORREF p = shot.At(x, y);
                if (p == kStatusColour)
                    ++(In(kStatusRect, x, y) ? statusIn : statusOut);
                if (p == kPercentColour)
                    ++(In(kPercentRect, x, y) ? percentPixels[i] : percentOut);
            }
        }
        EXPECT_GT(statusIn, 0) << "the status text is drawn in its colour in its box";
        EXPECT_EQ(statusOut, 0) << "and nowhere else";
        EXPECT_GT(percentPixels[i], 0) << "the percent text is drawn in its colour in its box";
        EXPECT_EQ(percentOut, 0) << "and nowhere else";
    }
    EXPECT_LT(percentPixels[0], percentPixels[2]) << "\"100%\" takes more of the bold font than \"0%\"";
}

TEST_F(ShownWindow, EnterAndEscapeDoNothingAndACloseRequestOnlyClearsTheStagingFolder)
{
    int removedByClose = -1;
    bool stillShown = false;
    const RecordedRun run = Run([&](UpdateProgressDialog& d) {
        HWND window = d.Window();
        PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        // Alt+F4, the system's close chord; handled after the keys, in order.
        PostMessageA(window, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
        for (int i = 0; i < 250 && StagingRemovals() == 0; ++i)
            Sleep(20);
        Sleep(100);
        removedByClose = StagingRemovals();
        stillShown = IsWindow(window) && IsWindowVisible(window);
    });
    EXPECT_EQ(removedByClose, 1) << "the close request removed the staging folder, the keys did nothing";
    EXPECT_TRUE(stillShown) << "the window stays open after the close request";
    ExpectCompleted(run);
    EXPECT_EQ(Script().stagingRemoved, (std::vector<std::string>{"C:\\scripted\\Update", "C:\\scripted\\Update"}))
        << "removed by the close request, then once more at the end";
}

// Presses the left button at one screen point, moves to another and lets go.
void DragWithMouse(POINT from, POINT to)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    auto input = [&](POINT at, DWORD flags) {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = (at.x * 65535 + screenWidth / 2) / (screenWidth - 1);
        in.mi.dy = (at.y * 65535 + screenHeight / 2) / (screenHeight - 1);
        in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &in, sizeof(in));
        Sleep(30);
    };
    input(from, 0);
    input(from, MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 4; ++step)
        input({from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4}, 0);
    input(to, MOUSEEVENTF_LEFTUP);
}

TEST_F(ShownWindow, TheBodyDragsTheWindow)
{
    struct Hit {
        int dy;
        LRESULT expected;
        const char* what;
    };
    const Hit hits[] = {
        {0, HTCLIENT, "the top row is not strictly inside"},
        {1, HTCAPTION, "the row below it drags"},
        {27, HTCAPTION, "the middle drags"},
        {53, HTCAPTION, "the bottom row drags"},
        {60, HTNOWHERE, "below the window"},
    };
    LRESULT answers[5] = {};
    RECT before = {}, after = {};
    HWND window = nullptr, underMouse = nullptr;
    bool stillMoving = false;
    const RecordedRun run = Run([&](UpdateProgressDialog& d) {
        window = d.Window();
        // Other test programs' windows open centred on the same display: move this one
        // aside and above them, so that the mouse reaches it.
        SetWindowPos(window, HWND_TOPMOST, 40, 500, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        GetWindowRect(window, &before);
        underMouse = WindowFromPoint({before.left + 60, before.top + 20});
        for (int i = 0; i < 5; ++i)
            answers[i] = SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(before.left + 200, before.top + hits[i].dy));
        DragWithMouse({before.left + 60, before.top + 20}, {before.left + 100, before.top + 50});
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        const DWORD dialogThread = GetWindowThreadProcessId(window, nullptr);
        bool dropped = false;
        for (int i = 0; i < 100; ++i) {
            GetWindowRect(window, &after);
            stillMoving = GetGUIThreadInfo(dialogThread, &gui) && (gui.flags & GUI_INMOVESIZE);
            dropped = after.left - before.left == 40 && after.top - before.top == 30 && !stillMoving;
            if (dropped)
                break;
            Sleep(20);
        }
        // A program that takes the foreground mid-drag cancels the capture but not Wine's
        // move loop, which then waits for a release it never gets (WM_CANCELMODE does not
        // end it either); so would a lost release. Escape ends the loop, so the test fails,
        // not hangs; outside the loop the dialog ignores it.
        if (!dropped)
            PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    ExpectCompleted(run);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(answers[i], hits[i].expected) << hits[i].what;
    ASSERT_EQ(underMouse, window) << "the press lands on the window";
    EXPECT_FALSE(stillMoving) << "the button's release ends the drag";
    EXPECT_EQ(after.left - before.left, 40) << "moved right with the mouse";
    EXPECT_EQ(after.top - before.top, 30) << "moved down with the mouse";
    EXPECT_EQ(after.right - after.left, kSkinWidth) << "same size after the drag";
}

TEST_F(ShownWindow, TwentyRunsOnOneDialogLeaveNoGdiOrUserObjectsBehind)
{
    auto probe = [](UpdateProgressDialog& d) { CaptureWindow(d.Window()); };
    ExpectCompleted(Run(probe));  // first use: whatever the system caches on first use
    const GuiCounts start = CountGuiObjects();
    ASSERT_GT(start.gdi, 0u) << "GDI objects can be counted";
    // The counters see what a run holds: both are higher while its window shows.
    GuiCounts during;
    ExpectCompleted(Run([&](UpdateProgressDialog& d) {
        CaptureWindow(d.Window());
        during = CountGuiObjects();
    }));
    ASSERT_GT(during.user, start.user) << "USER objects can be counted: the dialog's window is";
    ASSERT_GT(during.gdi, start.gdi) << "the dialog's bitmaps and fonts are counted";
    // Counts must come back exactly: one object kept per run shows after the first.
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(testing::Message() << "run " << i + 1);
        Script().filesToDownload = 2;
        const RecordedRun run = Run(probe);
        ASSERT_EQ(run.endCode, IDOK);
    }
    const GuiCounts end = CountGuiObjects();
    EXPECT_EQ(end.gdi, start.gdi) << "GDI objects" << (start.fromSystem ? "" : " (shared handle table)");
    EXPECT_EQ(end.user, start.user) << "USER objects" << (start.fromSystem ? "" : " (the process's windows)");
}

// --- fonts by system version ------------------------------------------------------------

TEST(Fonts, FollowTheSystemVersion)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    // The copy named for NT 4.0 must really see it, or it would test the other branch again.
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (strstr(program, "_nt40.exe")) {
        ASSERT_EQ(version.dwMajorVersion, 4u) << "the NT 4.0 copy sees NT 4.0";
    } else {
        ASSERT_GE(version.dwMajorVersion, 5u) << "the other copies see NT 5 or later";
    }
    const bool ntFiveOrLater = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
    const char* face = ntFiveOrLater ? "돋움" : "Arial";
    const LONG height = ntFiveOrLater ? 12 : 14;
    std::printf("system %lu.%lu: expecting \"%s\" at %ld\n", version.dwMajorVersion, version.dwMinorVersion,
                ntFiveOrLater ? "Dotum" : "Arial", height);

    Script() = StepScript();
    LOGFONTA fonts[2] = {};
    Script().after[static_cast<int>(Step::Fetch)] = [&](UpdateProgressDialog& d) {
        GetObjectA(d.m_textFont.Get(), sizeof(fonts[0]), &fonts[0]);
        GetObjectA(d.m_boldFont.Get(), sizeof(fonts[1]), &fonts[1]);
    };
    UpdateProgressDialog dialog;
    RunRecorded(dialog);
    const LONG weights[2] = {FW_NORMAL, FW_BOLD};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "status font" : "percent font");
        EXPECT_STREQ(fonts[i].lfFaceName, face) << "face";
        EXPECT_EQ(fonts[i].lfHeight, height) << "height";
        EXPECT_EQ(fonts[i].lfWeight, weights[i]) << "weight";
        EXPECT_EQ(fonts[i].lfWidth, 0) << "width";
        EXPECT_EQ(fonts[i].lfCharSet, ANSI_CHARSET) << "character set";
        EXPECT_EQ(fonts[i].lfPitchAndFamily, FF_SWISS | DEFAULT_PITCH) << "pitch and family";
        EXPECT_FALSE(fonts[i].lfItalic || fonts[i].lfUnderline || fonts[i].lfStrikeOut) << "plain";
    }
}

// --- a module without its skin (a program built without the bitmaps) --------------------

TEST(NoSkin, TheRunStillWorksWithTheWindowNeverShown)
{
    ASSERT_FALSE(FindResourceA(nullptr, MAKEINTRESOURCEA(IDB_SKIN), RT_BITMAP)) << "this program has no skin";
    Script() = StepScript();
    Script().filesToDownload = 2;
    UpdateProgressDialog dialog;
    const RecordedRun run = RunRecorded(dialog);
    EXPECT_EQ(run.endCode, IDOK) << "the run ends normally";
    ASSERT_GE(run.notes.size(), 2u);
    EXPECT_EQ(run.notes[run.notes.size() - 2].runState, Completed) << "every step ran";
    int sized = 0;
    for (const Notification& n : run.notes)
        sized += n.windowWidth != 0 || n.windowHeight != 0;
    EXPECT_EQ(sized, 0) << "the window never gets a size";
}

}  // namespace
