#include "framework/ole_property_page.h"

#include "framework/module.h"

namespace {

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

LPOLESTR TaskMemCopy(const wchar_t* text, int length)
{
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
    if (copy) {
        memcpy(copy, text, length * sizeof(wchar_t));
        copy[length] = 0;
    }
    return copy;
}

}  // namespace

COlePropertyPage::COlePropertyPage(UINT templateAndCaption) : m_id(templateAndCaption) {}

COlePropertyPage::~COlePropertyPage()
{
    if (m_page)
        DestroyWindow(m_page);
    ReleaseObjects();
    if (m_site)
        m_site->Release();
}

STDMETHODIMP COlePropertyPage::QueryInterface(REFIID riid, void** out)
{
    static const InterfaceEntry<COlePropertyPage> table[] = {
        {&IID_IUnknown, CastTo<COlePropertyPage, IPropertyPage>},
        {&IID_IPropertyPage, CastTo<COlePropertyPage, IPropertyPage>},
    };
    return TableQueryInterface(this, table, riid, out);
}

STDMETHODIMP_(ULONG) COlePropertyPage::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP COlePropertyPage::SetPageSite(IPropertyPageSite* site)
{
    if (site && m_site)
        return E_UNEXPECTED;
    AssignInterface(m_site, site);
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL)
{
    if (!rect)
        return E_POINTER;
    if (m_page)
        return E_UNEXPECTED;
    m_page = CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(m_id), parent, PageProc, 0);
    if (!m_page)
        return HRESULT_FROM_WIN32(GetLastError());
    MoveWindow(m_page, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Deactivate()
{
    if (!m_page)
        return E_UNEXPECTED;
    DestroyWindow(m_page);
    m_page = nullptr;
    return S_OK;
}

STDMETHODIMP COlePropertyPage::GetPageInfo(PROPPAGEINFO* info)
{
    if (!info)
        return E_POINTER;
    // The page's size in pixels, as the template's dialog units give it on this system.
    HWND measure = CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(m_id), GetDesktopWindow(), PageProc, 0);
    if (!measure)
        return HRESULT_FROM_WIN32(GetLastError());
    RECT client = {};
    GetClientRect(measure, &client);
    DestroyWindow(measure);

    const wchar_t* caption = nullptr;
    const int length = LoadStringW(ThisModule(), m_id, reinterpret_cast<LPWSTR>(&caption), 0);
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = TaskMemCopy(length > 0 ? caption : L"", length > 0 ? length : 0);
    info->size.cx = client.right;
    info->size.cy = client.bottom;
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return info->pszTitle ? S_OK : E_OUTOFMEMORY;
}

void COlePropertyPage::ReleaseObjects()
{
    for (IUnknown* object : m_objects)
        object->Release();
    m_objects.clear();
}

STDMETHODIMP COlePropertyPage::SetObjects(ULONG count, IUnknown** objects)
{
    if (count && !objects)
        return E_POINTER;
    ReleaseObjects();
    for (ULONG i = 0; i < count; ++i) {
        if (!objects[i])
            continue;
        objects[i]->AddRef();
        m_objects.push_back(objects[i]);
    }
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Show(UINT command)
{
    if (!m_page)
        return E_UNEXPECTED;
    ShowWindow(m_page, command);
    return S_OK;
}

STDMETHODIMP COlePropertyPage::Move(LPCRECT rect)
{
    if (!rect)
        return E_POINTER;
    if (!m_page)
        return E_UNEXPECTED;
    MoveWindow(m_page, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
    return S_OK;
}

STDMETHODIMP COlePropertyPage::TranslateAccelerator(MSG* msg)
{
    if (!msg)
        return E_POINTER;
    return m_page && IsDialogMessageW(m_page, msg) ? S_OK : S_FALSE;
}
