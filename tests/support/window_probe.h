// Reads back what a window shows: its client pixels and its region, from any thread;
// and the process's GDI and USER object counts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct WindowShot {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // client area, top row first
    bool hasRegion = false;
    std::vector<char> inRegion;    // per pixel: part of the window's region

    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool Inside(int x, int y) const { return inRegion[static_cast<size_t>(y) * width + x] != 0; }
};

// Lets the window's own thread paint what is pending, then copies the client area.
WindowShot CaptureWindow(HWND window);
// Saves a shot as PNG; pixels outside the window's region are transparent.
bool SaveShotAsPng(const WindowShot& shot, const std::string& path);

// A bitmap's pixels as COLORREFs, top row first.
std::vector<COLORREF> BitmapPixels(HBITMAP bitmap, int* width, int* height);

struct GuiCounts {
    DWORD gdi = 0;
    DWORD user = 0;
    bool fromSystem = false;  // GetGuiResources answered; otherwise counted by hand
};
// GetGuiResources, or where the system does not implement it (Wine), the GDI objects in
// the process's shared handle table and the process's windows.
GuiCounts CountGuiObjects();
