#include "control/vexa_updater_ctrl.h"

#include <shellapi.h>

#include <new>

#include "engine/codes.h"
#include "engine/data_url.h"
#include "engine/module_build.h"
#include "engine/run_report.h"
#include "framework/module.h"
#include "framework/handles.h"
#include "trust/base64.h"
#include "trust/module_ids.h"
#include "trust/site_lock.h"
#include "trust/trusted_sites.h"
#include "res/resource.h"

const char* const kDefaultTitle = "Tarnix 전자결제";

void Base64Encoder::Encode(CString input)
{
    Clear();
    m_result = Base64Encode(input.Str());
}

namespace {

CVexaUpdaterCtrl* Self(COleControl* control) { return static_cast<CVexaUpdaterCtrl*>(control); }

// A code page 949 text as the script's string.
void SetText(VARIANT* result, const std::string& text)
{
    const int length = MultiByteToWideChar(949, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (result->bstrVal)
        MultiByteToWideChar(949, 0, text.data(), static_cast<int>(text.size()), result->bstrVal, length);
}

// One run at a time on the machine: two controls on one page, or two pages, would stage into
// the same folder and install each other's bytes. A named mutex holds the run across
// processes and sessions (and goes with a process that dies); a mutex is the owning thread's
// again, so a second control on the same page thread is caught by this process's flag.
// The mutex carries the identity's name: another operator's control runs on its own.
bool g_runInProcess = false;

class MachineRun {
public:
    MachineRun()
    {
        if (g_runInProcess)
            return;
        m_mutex.Reset(CreateMutexA(nullptr, FALSE, (std::string("Global\\") + Identity().name + ".Run").c_str()));
        // Not even opened (another account's run holds it): a run is going on.
        if (!m_mutex)
            return;
        const DWORD waited = WaitForSingleObject(m_mutex.Get(), 0);
        m_owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        g_runInProcess = m_owned;
    }
    ~MachineRun()
    {
        if (!m_owned)
            return;
        ReleaseMutex(m_mutex.Get());
        g_runInProcess = false;
    }
    MachineRun(const MachineRun&) = delete;
    MachineRun& operator=(const MachineRun&) = delete;
    bool Owned() const { return m_owned; }

private:
    KernelHandle m_mutex;
    bool m_owned = false;
};

// The dispatch map: the positions are the dispatch ids, as the type library says.
const DispatchEntry kMethods[] = {
    {1, L"SetTitle", L"szTitle", [](COleControl* c, const CString& a, VARIANT*) { Self(c)->SetTitle(a); }},
    {2, L"SetListFileURL", L"szListFileURL",
     [](COleControl* c, const CString& a, VARIANT*) { Self(c)->SetListFileURL(a); }},
    {3, L"SetDataFileURL", L"szDataFileURL",
     [](COleControl* c, const CString& a, VARIANT*) { Self(c)->SetDataFileURL(a); }},
    {4, L"DoUpdate", nullptr,
     [](COleControl* c, const CString&, VARIANT* result) {
         result->vt = VT_I2;
         result->iVal = Self(c)->DoUpdate();
     }},
    {5, L"GetLastRun", nullptr,
     [](COleControl* c, const CString&, VARIANT* result) { SetText(result, Self(c)->GetLastRun()); }},
    {6, L"GetVersion", nullptr,
     [](COleControl* c, const CString&, VARIANT* result) { SetText(result, Self(c)->GetVersion()); }},
};

// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
// OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST
constexpr DWORD kMiscStatus = 131473;

const ControlIds kIds = {&CLSID_VexaUpdater, &DIID__DVexaUpdater, &DIID__DVexaUpdaterEvents, &LIBID_VEXAUPDATERLib,
                         1, 0, &CLSID_VexaUpdaterPropPage, IDS_VEXAUPDATER, kMiscStatus};

}  // namespace

CVexaUpdaterCtrl::CVexaUpdaterCtrl() : COleControl(kIds, kMethods, sizeof(kMethods) / sizeof(kMethods[0])) {}

CVexaUpdaterCtrl::~CVexaUpdaterCtrl() = default;

IUnknown* CVexaUpdaterCtrl::Create()
{
    return static_cast<IDispatch*>(new (std::nothrow) CVexaUpdaterCtrl);
}

void CVexaUpdaterCtrl::SetTitle(const CString& szTitle)
{
    m_title = szTitle;
    if (m_title.IsEmpty())
        m_title = kDefaultTitle;
    if (!m_running)
        m_progressDialog.m_title = m_title;
}

void CVexaUpdaterCtrl::SetListFileURL(const CString& szListFileURL)
{
    m_listFileUrl = szListFileURL;
    if (!m_running)
        m_progressDialog.m_listUrl = szListFileURL;
}

void CVexaUpdaterCtrl::SetDataFileURL(const CString& szDataFileURL)
{
    m_dataFileUrl = szDataFileURL;
    // The control's copy keeps a trailing slash: that one goes to the helper.
    if (!m_running)
        m_progressDialog.m_dataUrl = DataUrlForDialog(szDataFileURL.Str());
}

STDMETHODIMP CVexaUpdaterCtrl::QueryInterface(REFIID riid, void** out)
{
    if (out && IsEqualIID(riid, IID_IObjectSafety) && !TrustedSites().empty()) {
        *out = static_cast<IObjectSafety*>(this);
        AddRef();
        return S_OK;
    }
    return COleControl::QueryInterface(riid, out);
}

std::string CVexaUpdaterCtrl::PageUrl() const
{
    IOleClientSite* site = ClientSite();
    IMoniker* moniker = nullptr;
    if (!site || FAILED(site->GetMoniker(OLEGETMONIKER_TEMPFORUSER, OLEWHICHMK_CONTAINER, &moniker)) || !moniker)
        return std::string();
    std::string url;
    IBindCtx* context = nullptr;
    LPOLESTR name = nullptr;
    if (SUCCEEDED(CreateBindCtx(0, &context)) && SUCCEEDED(moniker->GetDisplayName(context, nullptr, &name)) && name) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
        if (bytes > 1) {
            url.resize(static_cast<size_t>(bytes - 1));
            WideCharToMultiByte(CP_UTF8, 0, name, -1, &url[0], bytes, nullptr, nullptr);
        }
        CoTaskMemFree(name);
    }
    if (context)
        context->Release();
    moniker->Release();
    return url;
}

bool CVexaUpdaterCtrl::PageIsTrusted() const
{
    const std::string page = PageUrl();
    return !page.empty() && SiteIsTrusted(page, TrustedSites());
}

STDMETHODIMP CVexaUpdaterCtrl::GetInterfaceSafetyOptions(REFIID, DWORD* supported, DWORD* enabled)
{
    if (!supported || !enabled)
        return E_POINTER;
    // Safe for scripting and for initialisation only on a page of a trusted site.
    const DWORD safe = PageIsTrusted() ? INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA : 0;
    *supported = safe;
    *enabled = safe;
    return S_OK;
}

STDMETHODIMP CVexaUpdaterCtrl::SetInterfaceSafetyOptions(REFIID, DWORD mask, DWORD enabled)
{
    if ((mask & enabled) == 0)
        return S_OK;
    return PageIsTrusted() ? S_OK : E_FAIL;
}

short CVexaUpdaterCtrl::DoUpdate()
{
    m_helperExit = kNoHelperExit;
    m_helperReport.clear();
    const short result = RunUpdate();
    // A call while this control's run goes on leaves that run's record to it.
    if (result == kDoUpdateNotStarted && m_running)
        return result;
    RecordLastRun(result);
    return result;
}

void CVexaUpdaterCtrl::RecordLastRun(short result)
{
    RunReport report;
    if (result == kDoUpdateDone) {
        report = m_progressDialog.Outcome();
    } else {
        report.identity = Identity().name;
        report.version = GetVersion();
        report.outcome = result == kDoUpdateRefused ? "refused" : "busy";
    }
    report.helperExit = m_helperExit;
    m_lastRun = RunReportJson(report);
    // The helper's own report of the run it did, when it left one.
    if (result == kDoUpdateDone && m_progressDialog.m_handedOver && !m_helperReport.empty())
        m_lastRun = m_helperReport;
    // A run refused before its window was set up is logged too.
    if (m_progressDialog.m_logPath.empty())
        m_progressDialog.m_logPath = RunLogPath(Identity().name, false);
    m_progressDialog.LogRunEnd(report);
    // A handed-over run is reported by the helper that ran it.
    if (result == kDoUpdateDone && !m_progressDialog.m_handedOver)
        m_progressDialog.SendOutcomeReport(report);
}

std::string CVexaUpdaterCtrl::GetLastRun() const
{
    return m_lastRun.empty() ? RunReportJson([] {
        RunReport none;
        none.identity = Identity().name;
        return none;
    }()) : m_lastRun;
}

std::string CVexaUpdaterCtrl::GetVersion() const { return ModuleVersionText(); }

short CVexaUpdaterCtrl::RunUpdate()
{
    // A page timer firing inside the modal loop: the running job is left alone.
    if (m_running)
        return kDoUpdateNotStarted;
    if (m_listFileUrl.IsEmpty() || m_dataFileUrl.IsEmpty())
        return kDoUpdateRefused;
    // A locked control runs only for its own sites: the list, the files and a known page.
    const std::vector<std::string>& sites = TrustedSites();
    if (!sites.empty()) {
        const std::string page = PageUrl();
        if (!SiteIsTrusted(m_listFileUrl.Str(), sites) || !SiteIsTrusted(m_dataFileUrl.Str(), sites) ||
            (!page.empty() && !SiteIsTrusted(page, sites)))
            return kDoUpdateRefused;
    }
    // The texts of this run; setters called while it runs are kept for the next one.
    const CString list = m_listFileUrl, data = m_dataFileUrl, title = m_title;
    m_progressDialog.m_listUrl = list;
    m_progressDialog.m_dataUrl = DataUrlForDialog(data.Str());
    m_progressDialog.m_title = title;
    ApplyModuleBuild(m_progressDialog);

    const MachineRun run;
    if (!run.Owned())
        return kDoUpdateNotStarted;
    m_running = true;
    const INT_PTR end = m_progressDialog.DoModal();
    m_running = false;
    // A dialog that could not be created ran no run: an earlier run's hand-over flag
    // must not start the helper again.
    if (end == IDOK && m_progressDialog.m_handedOver)
        m_helperExit = LaunchHelper(list, data, title);
    if (end == IDOK)
        return kDoUpdateDone;
    return end == IDCANCEL ? kDoUpdateCancelled : kDoUpdateNotStarted;
}

int CVexaUpdaterCtrl::LaunchHelper(const CString& list, const CString& data, const CString& title)
{
    char system[260] = {};
    GetSystemDirectoryA(system, sizeof(system));
    CString program;
    program.Format("%s\\%s", system, Identity().helperFile);

    Base64Encoder encoder;
    encoder.Encode(list);
    const CString encodedList = encoder.GetResult();
    encoder.Encode(data);
    const CString encodedData = encoder.GetResult();
    encoder.Encode(title);
    const CString encodedTitle = encoder.GetResult();
    CString parameters;
    parameters.Format("%s %s %s", static_cast<const char*>(encodedList), static_cast<const char*>(encodedData),
                      static_cast<const char*>(encodedTitle));

    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    // A missing or unstartable helper is silent: no shell error box over the page.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = "open";
    info.lpFile = program;
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOW;
    ShellExecuteExA(&info);
    // Without a process (the start failed) there is nothing to wait for.
    KernelHandle process(info.hProcess);
    if (!process)
        return kNoHelperExit;
    WaitForSingleObject(process.Get(), INFINITE);
    m_helperReport = HelperReportOf(process.Get());
    DWORD exitCode = 0;
    return GetExitCodeProcess(process.Get(), &exitCode) ? static_cast<int>(exitCode) : kNoHelperExit;
}
