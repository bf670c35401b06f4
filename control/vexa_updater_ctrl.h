// CVexaUpdaterCtrl: the object a page creates and drives from script. Four methods: three
// store a text and pass it to the progress dialog, DoUpdate runs the dialog (and with it
// one update run) and, when the run hands over, starts the helper program.
#pragma once

#include "framework/narrow_string.h"
#include "framework/ole_control.h"

#include <objsafe.h>

#include <string>
#include "ui/progress_dialog.h"

// Used only to pass the texts to the helper program.
class Base64Encoder {
public:
    virtual ~Base64Encoder() = default;
    void Encode(CString input);
    CString GetResult() const { return m_result; }
    void Clear() { m_result.Empty(); }

private:
    CString m_result;
};

// With a site list built in, the control also answers IObjectSafety, and only for pages of
// those sites; without one it is exactly the unlocked control.
class CVexaUpdaterCtrl : public COleControl, public IObjectSafety {
public:
    CVexaUpdaterCtrl();
    ~CVexaUpdaterCtrl() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return COleControl::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return COleControl::Release(); }
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

    // The class table's create function: a new control at reference count 1.
    static IUnknown* Create();

    void SetTitle(const CString& szTitle);
    void SetListFileURL(const CString& szListFileURL);
    void SetDataFileURL(const CString& szDataFileURL);
    short DoUpdate();
    // The last run as one JSON object, and the control's version "a.b.c.d".
    std::string GetLastRun() const;
    std::string GetVersion() const;

    UpdateProgressDialog m_progressDialog;
    CString m_listFileUrl;
    CString m_dataFileUrl;
    CString m_title;

private:
    // list, data, title: the texts of the run that handed over (a setter called during the
    // run does not change them).
    // Its exit code, -1 when it could not be started.
    int LaunchHelper(const CString& list, const CString& data, const CString& title);
    short RunUpdate();
    void RecordLastRun(short result);
    // The hosting page's URL as the client site names it; empty when it does not.
    std::string PageUrl() const;
    // Locked: the page is known and on a trusted site.
    bool PageIsTrusted() const;

    // A run is in progress: DoUpdate returns 2 at once, and the setters keep their texts
    // for the next run instead of changing this one's.
    bool m_running = false;
    int m_helperExit = kNoHelperExit;
    std::string m_helperReport;  // the helper's report of the run it did; empty: none
    std::string m_lastRun;  // empty before any run
};

// The title SetTitle stores for an empty text.
extern const char* const kDefaultTitle;
