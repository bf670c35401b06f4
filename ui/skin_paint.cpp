// The window's shape from the skin's corners, and the painting of skin, bar and texts.
#include "ui/progress_dialog.h"

void SkinRegion::AddOpaqueRuns(HDC dc, HRGN region, const RECT* area)
{
    const int width = area->right - area->left;
    const int height = area->bottom - area->top;
    auto add = [region](int left, int top, int right, int bottom) {
        CRgn run(CreateRectRgn(left, top, right, bottom));
        CombineRgn(region, region, run.Get(), RGN_OR);
    };
    for (int i = 0; i < height; ++i) {
        const int y = area->top + i;
        int start = 0;
        for (int k = 0; k < width; ++k) {
            if (GetPixel(dc, area->left + k, y) != kSkinKeyColor)
                continue;
            if (start != k)
                add(area->left + start, y, area->left + k, y + 1);
            start = k + 1;
        }
        if (start != width && width > 0)
            add(area->left + start, y, area->left + width, y + 1);
    }
}

void UpdateProgressDialog::BuildWindowRegion()
{
    // The skin bitmap can be selected into one DC at a time and painting selects it on
    // the dialog's thread, so a call from the worker is carried out there too.
    if (GetWindowThreadProcessId(m_hWnd, nullptr) != GetCurrentThreadId()) {
        SendMessageA(m_hWnd, WM_UPDATE_REGION, 0, 0);
        return;
    }
    BuildRegionNow();
}

LRESULT UpdateProgressDialog::OnBuildRegion(WPARAM, LPARAM)
{
    BuildRegionNow();
    return 0;
}

void UpdateProgressDialog::BuildRegionNow()
{
    RECT client;
    GetClientRect(m_hWnd, &client);
    HRGN window = CreateRectRgnIndirect(&client);
    if (!window)
        return;

    WindowDc screen(m_hWnd);
    MemoryDc memory(CreateCompatibleDC(screen.Get()));
    CBitmap canvas(CreateCompatibleBitmap(screen.Get(), client.right - client.left, client.bottom - client.top));
    {
        SelectionRestore select(memory.Get(), canvas.Get());
        PaintSkin(memory.Get());

        const RECT corners[] = {
            {0, 0, 3, 3},
            {m_skinWidth - 3, 0, m_skinWidth, 3},
            {0, m_skinHeight - 3, 3, m_skinHeight},
            {m_skinWidth - 3, m_skinHeight - 3, m_skinWidth, m_skinHeight},
        };
        for (const RECT& corner : corners) {
            CRgn square(CreateRectRgnIndirect(&corner));
            CombineRgn(window, window, square.Get(), RGN_XOR);
            AddOpaqueRuns(memory.Get(), window, &corner);
        }
    }
    // The window owns the region from here on.
    if (!SetWindowRgn(m_hWnd, window, TRUE))
        DeleteObject(window);
}

void UpdateProgressDialog::OnPaint()
{
    PaintDc paint(m_hWnd);
    PaintSkin(paint.Get());
    PaintProgress(paint.Get(), m_shownPercent);
    PaintStatus(paint.Get());
}

void UpdateProgressDialog::PaintSkin(HDC dc)
{
    RECT client;
    GetClientRect(m_hWnd, &client);
    MemoryDc memory(CreateCompatibleDC(dc));
    {
        SelectionRestore select(memory.Get(), m_skinBitmap.Get());
        BitBlt(dc, client.left, client.top, client.right - client.left, client.bottom - client.top,
               memory.Get(), 0, 0, SRCCOPY);
    }
    SetBkMode(dc, TRANSPARENT);
}

void UpdateProgressDialog::PaintProgress(HDC dc, int percent)
{
    if (percent < 0)
        return;
    MemoryDc memory(CreateCompatibleDC(dc));
    {
        SelectionRestore select(memory.Get(), m_barBitmap.Get());
        const int width = (m_barRect.right - m_barRect.left) * percent / 100;
        StretchBlt(dc, m_barRect.left, m_barRect.top, width, 12, memory.Get(), 0, 0, 1, 12, SRCCOPY);
    }
    SetBkMode(dc, TRANSPARENT);
    SelectionRestore font(dc, m_boldFont.Get());
    SetTextColor(dc, RGB(207, 35, 85));
    CString text;
    text.Format("%d%%", percent);
    DrawTextA(dc, text, text.GetLength(), &m_percentRect, DT_SINGLELINE | DT_VCENTER);
}

void UpdateProgressDialog::PaintStatus(HDC dc)
{
    SetBkMode(dc, TRANSPARENT);
    SelectionRestore font(dc, m_textFont.Get());
    SetTextColor(dc, RGB(156, 0, 51));
    DrawTextA(dc, m_statusText, m_statusText.GetLength(), &m_statusRect,
              DT_SINGLELINE | DT_VCENTER);
}
