// CDialog: a dialog window created from a template, run modally by its own message loop
// (so that PreTranslateMessage sees every message), with a static message map per class.
#pragma once

#include <windows.h>

#include <cstddef>

class CDialog;

// One handler of a message map: a plain function that calls the member handler.
struct MessageMapEntry {
    UINT message;
    LRESULT (*invoke)(CDialog* dialog, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* base;
    const MessageMapEntry* entries;
    size_t count;
};

namespace message_map_detail {

template <typename F>
struct Handler;

template <typename C>
struct Handler<void (C::*)()> {
    template <void (C::*F)()>
    static LRESULT Invoke(CDialog* d, WPARAM, LPARAM) { (static_cast<C*>(d)->*F)(); return 0; }
};

template <typename C>
struct Handler<LRESULT (C::*)(WPARAM, LPARAM)> {
    template <LRESULT (C::*F)(WPARAM, LPARAM)>
    static LRESULT Invoke(CDialog* d, WPARAM w, LPARAM l) { return (static_cast<C*>(d)->*F)(w, l); }
};

template <typename C>
struct Handler<LRESULT (C::*)(POINT)> {  // WM_NCHITTEST and friends: a screen point in lParam
    template <LRESULT (C::*F)(POINT)>
    static LRESULT Invoke(CDialog* d, WPARAM, LPARAM l)
    {
        POINT point = {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        return (static_cast<C*>(d)->*F)(point);
    }
};

}  // namespace message_map_detail

// MapMessage<&Class::Handler>(WM_X) makes one map entry.
template <auto F>
constexpr MessageMapEntry MapMessage(UINT message)
{
    return {message, &message_map_detail::Handler<decltype(F)>::template Invoke<F>};
}

class CDialog {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the window from the template in this module and runs the modal loop until
    // EndDialog. Returns the end code, or -1 when the window cannot be created.
    INT_PTR DoModal();

    HWND GetSafeHwnd() const { return m_hWnd; }

    // The message map of the class; derived classes chain to their base's map.
    virtual const MessageMap* GetMessageMap() const;

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // TRUE when the message was handled and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // WM_QUIT reached the modal loop: true ends the loop now; false keeps it running until
    // the dialog ends itself. Either way the quit is passed on to the outer loop after.
    virtual bool OnQuitMessage() { return true; }

    void EndDialog(int result);
    // Centres over the owner when it is visible, else on the work area of its monitor.
    void CenterWindow(HWND alternateOwner = nullptr);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    UINT m_templateId;
    HWND m_parent;
    bool m_continueModal = false;
    INT_PTR m_modalResult = -1;
};
