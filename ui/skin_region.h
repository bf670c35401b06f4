// Cuts a window's shape out of its skin: pixels of the key colour are outside.
#pragma once

#include <windows.h>

constexpr COLORREF kSkinKeyColor = RGB(255, 0, 255);

class SkinRegion {
public:
    virtual ~SkinRegion() = default;
    // Builds the window's region from the skin and gives it to the window.
    virtual void BuildWindowRegion() = 0;

    // Adds to region every pixel of area, as drawn in dc, whose colour is not the key.
    static void AddOpaqueRuns(HDC dc, HRGN region, const RECT* area);
};
