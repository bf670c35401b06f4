// COlePropertyPage: a property page object whose page is a child dialog from this
// module's resources; it carries no properties of its own.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <vector>

#include "framework/com_module.h"

class COlePropertyPage : public IPropertyPage {
public:
    // The dialog template and the caption string share one id, as the page's resources do.
    explicit COlePropertyPage(UINT templateAndCaption);
    virtual ~COlePropertyPage();
    COlePropertyPage(const COlePropertyPage&) = delete;
    COlePropertyPage& operator=(const COlePropertyPage&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override { return S_FALSE; }
    STDMETHODIMP Apply() override { return S_OK; }
    STDMETHODIMP Help(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(MSG* msg) override;

    HWND PageWindow() const { return m_page; }

private:
    void ReleaseObjects();

    ModuleObject m_counted;
    std::atomic<ULONG> m_refs{1};
    UINT m_id;
    IPropertyPageSite* m_site = nullptr;
    std::vector<IUnknown*> m_objects;
    HWND m_page = nullptr;
};
