#include "framework/ole_control.h"

#include <new>

#include "framework/module.h"
#include "framework/ole_connection.h"

COleControl::COleControl(const ControlIds& ids, const DispatchEntry* methods, size_t methodCount)
    : m_ids(ids), m_methods(methods), m_methodCount(methodCount)
{
}

COleControl::~COleControl()
{
    if (m_events) {
        DetachConnectionPoint(m_events);
        m_events->Release();
    }
    if (m_viewSink)
        m_viewSink->Release();
    if (m_adviseHolder)
        m_adviseHolder->Release();
    if (m_site)
        m_site->Release();
}

STDMETHODIMP COleControl::QueryInterface(REFIID riid, void** out)
{
    using C = COleControl;
    static const InterfaceEntry<C> table[] = {
        {&IID_IUnknown, CastTo<C, IDispatch>},
        {&IID_IDispatch, CastTo<C, IDispatch>},
        {&IID_IOleObject, CastTo<C, IOleObject>},
        {&IID_IOleControl, CastTo<C, IOleControl>},
        {&IID_IOleWindow, CastTo<C, IOleInPlaceObject>},
        {&IID_IOleInPlaceObject, CastTo<C, IOleInPlaceObject>},
        {&IID_IOleInPlaceActiveObject, CastTo<C, IOleInPlaceActiveObject>},
        {&IID_IViewObject, CastTo<C, IViewObject2>},
        {&IID_IViewObject2, CastTo<C, IViewObject2>},
        {&IID_IPersist, CastTo<C, IPersistStreamInit>},
        {&IID_IPersistStreamInit, CastTo<C, IPersistStreamInit>},
        {&IID_IPersistPropertyBag, CastTo<C, IPersistPropertyBag>},
        {&IID_IPersistStorage, CastTo<C, IPersistStorage>},
        {&IID_IProvideClassInfo, CastTo<C, IProvideClassInfo2>},
        {&IID_IProvideClassInfo2, CastTo<C, IProvideClassInfo2>},
        {&IID_IConnectionPointContainer, CastTo<C, IConnectionPointContainer>},
        {&IID_ISpecifyPropertyPages, CastTo<C, ISpecifyPropertyPages>},
    };
    if (out && IsEqualIID(riid, *m_ids.dispatchIid)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return TableQueryInterface(this, table, riid, out);
}

STDMETHODIMP_(ULONG) COleControl::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) COleControl::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

// --- IDispatch ---------------------------------------------------------------------------

HRESULT COleControl::LoadTypeInfo(const GUID& guid, LCID lcid, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    ITypeLib* library = nullptr;
    HRESULT hr = LoadRegTypeLib(*m_ids.libid, m_ids.libMajor, m_ids.libMinor, lcid, &library);
    if (FAILED(hr)) {
        // Not registered (yet): the library is this module's own resource.
        wchar_t path[MAX_PATH] = {};
        if (!GetModuleFileNameW(ThisModule(), path, MAX_PATH - 1))
            return HRESULT_FROM_WIN32(GetLastError());
        hr = LoadTypeLibEx(path, REGKIND_NONE, &library);
        if (FAILED(hr))
            return hr;
    }
    hr = library->GetTypeInfoOfGuid(guid, info);
    library->Release();
    return hr;
}

STDMETHODIMP COleControl::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP COleControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return LoadTypeInfo(*m_ids.dispatchIid, lcid, info);
}

STDMETHODIMP COleControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    const DispatchEntry* found = nullptr;
    for (size_t i = 0; i < m_methodCount && !found; ++i)
        if (names[0] && _wcsicmp(names[0], m_methods[i].name) == 0)
            found = &m_methods[i];
    if (!found)
        return DISP_E_UNKNOWNNAME;
    ids[0] = found->id;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        if (found->parameter && names[i] && _wcsicmp(names[i], found->parameter) == 0)
            ids[i] = 0;
        else
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP COleControl::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, UINT* argError)
{
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!params)
        return E_INVALIDARG;
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    for (size_t i = 0; i < m_methodCount; ++i)
        if (m_methods[i].id == id)
            return InvokeGuarded(m_methods[i], params, result, argError);
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT COleControl::InvokeGuarded(const DispatchEntry& entry, DISPPARAMS* params, VARIANT* result, UINT* argError)
{
    const UINT expected = entry.parameter ? 1 : 0;
    if (params->cArgs != expected)
        return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 0 && !(params->cNamedArgs == 1 && expected == 1 && params->rgdispidNamedArgs &&
                                     params->rgdispidNamedArgs[0] == 0))
        return DISP_E_NONAMEDARGS;

    // Nothing may throw across the COM boundary.
    try {
        CString argument;
        if (expected) {
            VARIANT text;
            VariantInit(&text);
            if (FAILED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) {
                if (argError)
                    *argError = 0;
                return DISP_E_TYPEMISMATCH;
            }
            const int wide = static_cast<int>(SysStringLen(text.bstrVal));
            const int bytes = wide ? WideCharToMultiByte(CP_ACP, 0, text.bstrVal, wide, nullptr, 0, nullptr, nullptr) : 0;
            std::string narrow(static_cast<size_t>(bytes), '\0');
            if (bytes)
                WideCharToMultiByte(CP_ACP, 0, text.bstrVal, wide, &narrow[0], bytes, nullptr, nullptr);
            VariantClear(&text);
            argument = CString(narrow.c_str());
        }
        VARIANT ignored;
        VariantInit(&ignored);
        VARIANT* out = result ? result : &ignored;
        VariantInit(out);
        entry.call(this, argument, out);
        VariantClear(&ignored);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// --- IOleObject --------------------------------------------------------------------------

STDMETHODIMP COleControl::SetClientSite(IOleClientSite* site)
{
    AssignInterface(m_site, site);
    return S_OK;
}

STDMETHODIMP COleControl::GetClientSite(IOleClientSite** site)
{
    if (!site)
        return E_POINTER;
    *site = m_site;
    if (m_site)
        m_site->AddRef();
    return S_OK;
}

STDMETHODIMP COleControl::Close(DWORD)
{
    InPlaceDeactivate();
    if (m_adviseHolder)
        m_adviseHolder->SendOnClose();
    return S_OK;
}

STDMETHODIMP COleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControl::GetClipboardData(DWORD, IDataObject** data)
{
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT)
{
    switch (verb) {
    case OLEIVERB_PROPERTIES: {
        if (!m_ids.propertyPage)
            return E_NOTIMPL;
        IUnknown* self = static_cast<IDispatch*>(this);
        CLSID page = *m_ids.propertyPage;
        return OleCreatePropertyFrame(parent, 0, 0, L"", 1, &self, 1, &page, GetUserDefaultLCID(), 0, nullptr);
    }
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE: {
        // No surface to show: in-place activation only tells the site.
        if (m_inPlaceActive)
            return S_OK;
        IOleClientSite* from = site ? site : m_site;
        IOleInPlaceSite* inPlace = nullptr;
        if (!from || FAILED(from->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace))))
            return S_OK;
        if (inPlace->CanInPlaceActivate() == S_OK && SUCCEEDED(inPlace->OnInPlaceActivate()))
            m_inPlaceActive = true;
        inPlace->Release();
        return S_OK;
    }
    case OLEIVERB_HIDE:
        return S_OK;
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP COleControl::EnumVerbs(IEnumOLEVERB** verbs)
{
    if (!verbs)
        return E_POINTER;
    static wchar_t name[] = L"&Properties...";
    const OLEVERB properties = {OLEIVERB_PROPERTIES, name, 0, OLEVERBATTRIB_ONCONTAINERMENU};
    *verbs = CreateVerbEnumerator(properties);
    return *verbs ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP COleControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP COleControl::GetUserType(DWORD, LPOLESTR* type)
{
    if (!type)
        return E_POINTER;
    *type = nullptr;
    wchar_t text[256] = {};
    const int length = LoadStringW(ThisModule(), m_ids.userTypeString, text, 256);
    if (length <= 0)
        return OLE_S_USEREG;
    *type = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
    if (!*type)
        return E_OUTOFMEMORY;
    memcpy(*type, text, (length + 1) * sizeof(wchar_t));
    return S_OK;
}

STDMETHODIMP COleControl::SetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    m_extent = *size;
    return S_OK;
}

STDMETHODIMP COleControl::GetExtent(DWORD aspect, SIZEL* size)
{
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!size)
        return E_POINTER;
    *size = m_extent;
    return S_OK;
}

STDMETHODIMP COleControl::Advise(IAdviseSink* sink, DWORD* cookie)
{
    if (!m_adviseHolder) {
        const HRESULT hr = CreateOleAdviseHolder(&m_adviseHolder);
        if (FAILED(hr))
            return hr;
    }
    return m_adviseHolder->Advise(sink, cookie);
}

STDMETHODIMP COleControl::Unadvise(DWORD cookie)
{
    return m_adviseHolder ? m_adviseHolder->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP COleControl::EnumAdvise(IEnumSTATDATA** advises)
{
    if (!advises)
        return E_POINTER;
    *advises = nullptr;
    return m_adviseHolder ? m_adviseHolder->EnumAdvise(advises) : S_OK;
}

STDMETHODIMP COleControl::GetMiscStatus(DWORD, DWORD* status)
{
    if (!status)
        return E_POINTER;
    *status = m_ids.miscStatus;
    return S_OK;
}

// --- IOleControl, in-place ---------------------------------------------------------------

STDMETHODIMP COleControl::GetControlInfo(CONTROLINFO* info)
{
    if (!info)
        return E_POINTER;
    // No mnemonics and no accelerators.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP COleControl::GetWindow(HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = nullptr;
    return E_FAIL;  // no window of its own
}

STDMETHODIMP COleControl::InPlaceDeactivate()
{
    if (!m_inPlaceActive)
        return S_OK;
    m_inPlaceActive = false;
    IOleInPlaceSite* inPlace = nullptr;
    if (m_site && SUCCEEDED(m_site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->OnInPlaceDeactivate();
        inPlace->Release();
    }
    return S_OK;
}

HWND COleControl::ContainerWindow() const
{
    HWND window = nullptr;
    IOleInPlaceSite* inPlace = nullptr;
    if (m_site && SUCCEEDED(m_site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->GetWindow(&window);
        inPlace->Release();
    }
    return window;
}

// --- IViewObject2 ------------------------------------------------------------------------

STDMETHODIMP COleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours)
{
    if (colours)
        *colours = nullptr;
    return S_FALSE;
}

STDMETHODIMP COleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink)
{
    AssignInterface(m_viewSink, sink);
    m_viewAspects = aspects;
    m_viewFlags = flags;
    return S_OK;
}

STDMETHODIMP COleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink)
{
    if (aspects)
        *aspects = m_viewAspects;
    if (flags)
        *flags = m_viewFlags;
    if (sink) {
        *sink = m_viewSink;
        if (m_viewSink)
            m_viewSink->AddRef();
    }
    return S_OK;
}

STDMETHODIMP COleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size)
{
    return GetExtent(aspect, size);
}

// --- persistence: only the version --------------------------------------------------------

STDMETHODIMP COleControl::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = *m_ids.clsid;
    return S_OK;
}

STDMETHODIMP COleControl::Load(LPSTREAM stream)
{
    if (!stream)
        return E_POINTER;
    DWORD version = 0;
    ULONG read = 0;
    const HRESULT hr = stream->Read(&version, sizeof(version), &read);
    if (FAILED(hr))
        return hr;
    return read == sizeof(version) ? S_OK : E_FAIL;
}

STDMETHODIMP COleControl::Save(LPSTREAM stream, BOOL)
{
    if (!stream)
        return E_POINTER;
    const DWORD version = kPersistVersion;
    ULONG written = 0;
    const HRESULT hr = stream->Write(&version, sizeof(version), &written);
    if (FAILED(hr))
        return hr;
    return written == sizeof(version) ? S_OK : STG_E_WRITEFAULT;
}

STDMETHODIMP COleControl::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    size->QuadPart = sizeof(DWORD);
    return S_OK;
}

STDMETHODIMP COleControl::Load(IPropertyBag* bag, IErrorLog* log)
{
    if (!bag)
        return E_POINTER;
    // The version is read when present; a page that gives none loads as well.
    VARIANT version;
    VariantInit(&version);
    version.vt = VT_I4;
    bag->Read(L"_Version", &version, log);
    VariantClear(&version);
    return S_OK;
}

STDMETHODIMP COleControl::Save(IPropertyBag* bag, BOOL, BOOL)
{
    if (!bag)
        return E_POINTER;
    VARIANT version;
    VariantInit(&version);
    version.vt = VT_I4;
    version.lVal = static_cast<LONG>(kPersistVersion);
    return bag->Write(L"_Version", &version);
}

STDMETHODIMP COleControl::Load(IStorage* storage)
{
    if (!storage)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
    if (FAILED(hr))
        return hr;
    hr = Load(stream);
    stream->Release();
    return hr;
}

STDMETHODIMP COleControl::Save(IStorage* storage, BOOL)
{
    if (!storage)
        return E_POINTER;
    IStream* stream = nullptr;
    HRESULT hr = storage->CreateStream(L"Contents", STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
    if (FAILED(hr))
        return hr;
    hr = Save(stream, TRUE);
    stream->Release();
    return hr;
}

// --- class information, connection points, property pages --------------------------------

STDMETHODIMP COleControl::GetClassInfo(ITypeInfo** info)
{
    return LoadTypeInfo(*m_ids.clsid, LOCALE_USER_DEFAULT, info);
}

STDMETHODIMP COleControl::GetGUID(DWORD kind, GUID* guid)
{
    if (!guid)
        return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = *m_ids.eventIid;
    return S_OK;
}

STDMETHODIMP COleControl::EnumConnectionPoints(IEnumConnectionPoints** points)
{
    if (!points)
        return E_POINTER;
    *points = nullptr;
    IConnectionPoint* events = nullptr;
    const HRESULT hr = FindConnectionPoint(*m_ids.eventIid, &events);
    if (FAILED(hr))
        return hr;
    *points = CreateConnectionPointEnumerator({events});
    events->Release();
    return *points ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP COleControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(riid, *m_ids.eventIid))
        return CONNECT_E_NOCONNECTION;
    if (!m_events)
        m_events = CreateSilentConnectionPoint(*m_ids.eventIid, this);
    if (!m_events)
        return E_OUTOFMEMORY;
    *point = m_events;
    m_events->AddRef();
    return S_OK;
}

STDMETHODIMP COleControl::GetPages(CAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    if (!m_ids.propertyPage)
        return S_OK;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = *m_ids.propertyPage;
    pages->cElems = 1;
    return S_OK;
}
