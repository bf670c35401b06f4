#include "tests/support/window_probe.h"

#include <winternl.h>

#include "framework/handles.h"
#include "tests/support/png_file.h"

namespace {

// 32-bit top-down DIB of the given size, selected into a memory DC compatible with dc.
struct DibCanvas {
    MemoryDc dc;
    CBitmap bitmap;
    void* bits = nullptr;
    DibCanvas(HDC compatible, int width, int height) : dc(CreateCompatibleDC(compatible))
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap.Reset(CreateDIBSection(compatible, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    }
};

COLORREF FromBgrx(uint32_t pixel)
{
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

}  // namespace

WindowShot CaptureWindow(HWND window)
{
    // Has the window's own thread paint what is pending before the copy is taken: the
    // paint message goes to it and this waits. (RedrawWindow with RDW_UPDATENOW from
    // another thread returns before the paint under Wine.)
    SendMessageA(window, WM_PAINT, 0, 0);
    WindowShot shot;
    RECT client = {};
    GetClientRect(window, &client);
    shot.width = client.right;
    shot.height = client.bottom;
    if (shot.width <= 0 || shot.height <= 0)
        return shot;

    WindowDc source(window);
    DibCanvas canvas(source.Get(), shot.width, shot.height);
    {
        SelectionRestore select(canvas.dc.Get(), canvas.bitmap.Get());
        BitBlt(canvas.dc.Get(), 0, 0, shot.width, shot.height, source.Get(), 0, 0, SRCCOPY);
    }
    const auto* bits = static_cast<const uint32_t*>(canvas.bits);
    shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
    for (size_t i = 0; i < shot.pixels.size(); ++i)
        shot.pixels[i] = FromBgrx(bits[i]);

    CRgn region(CreateRectRgn(0, 0, 0, 0));
    shot.hasRegion = GetWindowRgn(window, region.Get()) != ERROR;
    shot.inRegion.assign(shot.pixels.size(), shot.hasRegion ? 0 : 1);
    if (shot.hasRegion) {
        // Region coordinates are the window's; this window has no frame, so they are the
        // client's too.
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x)
                shot.inRegion[static_cast<size_t>(y) * shot.width + x] = PtInRegion(region.Get(), x, y) ? 1 : 0;
    }
    return shot;
}

bool SaveShotAsPng(const WindowShot& shot, const std::string& path)
{
    std::vector<uint8_t> rgba;
    rgba.reserve(shot.pixels.size() * 4);
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const COLORREF c = shot.At(x, y);
            rgba.insert(rgba.end(), {GetRValue(c), GetGValue(c), GetBValue(c),
                                     static_cast<uint8_t>(shot.Inside(x, y) ? 255 : 0)});
        }
    }
    return WritePng(path, shot.width, shot.height, rgba);
}

std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, int* width, int* height)
{
    BITMAP info = {};
    *width = *height = 0;
    if (!bitmap || GetObjectA(bitmap, sizeof(info), &info) != sizeof(info))
        return {};
    *width = info.bmWidth;
    *height = info.bmHeight;
    BITMAPINFO request = {};
    request.bmiHeader.biSize = sizeof(request.bmiHeader);
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -info.bmHeight;
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> bits(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    WindowDc screen(nullptr);
    if (GetDIBits(screen.Get(), bitmap, 0, info.bmHeight, bits.data(), &request, DIB_RGB_COLORS) != info.bmHeight)
        return {};
    std::vector<COLORREF> pixels(bits.size());
    for (size_t i = 0; i < bits.size(); ++i)
        pixels[i] = FromBgrx(bits[i]);
    return pixels;
}

namespace {

// An entry of the GDI handle table that the system maps into every process (the PEB's
// GdiSharedHandleTable).
struct GdiTableEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 user;
};
static_assert(sizeof(GdiTableEntry) == 24, "the 64-bit table layout");

// GCC takes the gs-relative read of the TEB for an out-of-bounds array access.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
DWORD CountGdiTableEntries()
{
#ifdef _WIN64
    const auto* peb = reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
    const auto* table = *reinterpret_cast<GdiTableEntry* const*>(peb + 0xF8);
    if (!table)
        return 0;
    DWORD count = 0;
    for (int i = 0; i < 0x10000; ++i)
        count += table[i].type != 0;
    return count;
#else
    return 0;
#endif
}
#pragma GCC diagnostic pop

BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
}

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId())
        return TRUE;
    ++*reinterpret_cast<DWORD*>(count);
    EnumChildWindows(window, CountChild, count);
    return TRUE;
}

DWORD CountOwnWindows()
{
    DWORD count = 0;
    EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&count));
    for (HWND message = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); message;
         message = FindWindowExA(HWND_MESSAGE, message, nullptr, nullptr))
        CountOwnWindow(message, reinterpret_cast<LPARAM>(&count));
    return count;
}

}  // namespace

GuiCounts CountGuiObjects()
{
    GuiCounts counts;
    SetLastError(0);
    counts.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    counts.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    counts.fromSystem = counts.gdi != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
    if (!counts.fromSystem) {
        counts.gdi = CountGdiTableEntries();
        counts.user = CountOwnWindows();
    }
    return counts;
}
