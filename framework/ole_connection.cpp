#include "framework/ole_connection.h"

#include <olectl.h>

#include <atomic>
#include <new>

#include "framework/com_module.h"

namespace {

// Reference counting shared by the small objects below.
template <typename Derived, typename Interface>
class SmallObject : public Interface {
public:
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

protected:
    virtual ~SmallObject() = default;
    ModuleObject m_counted;
    std::atomic<ULONG> m_refs{1};
};

class SilentConnectionPoint : public SmallObject<SilentConnectionPoint, IConnectionPoint> {
public:
    // The container is not AddRef'd (it holds this point); it detaches itself when it goes.
    SilentConnectionPoint(const IID& iid, IConnectionPointContainer* container) : m_iid(iid), m_container(container) {}
    ~SilentConnectionPoint() override { ReleaseSinks(); }
    void Detach()
    {
        m_container = nullptr;
        ReleaseSinks();
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        static const InterfaceEntry<SilentConnectionPoint> table[] = {
            {&IID_IUnknown, CastTo<SilentConnectionPoint, IConnectionPoint>},
            {&IID_IConnectionPoint, CastTo<SilentConnectionPoint, IConnectionPoint>},
        };
        return TableQueryInterface(this, table, riid, out);
    }
    STDMETHODIMP GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = m_iid;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override
    {
        if (!container)
            return E_POINTER;
        *container = m_container;
        if (!m_container)
            return E_UNEXPECTED;
        m_container->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        if (!m_container)
            return E_UNEXPECTED;
        IUnknown* events = nullptr;
        // A script host's sink may only answer IDispatch for an event dispinterface.
        if (FAILED(sink->QueryInterface(m_iid, reinterpret_cast<void**>(&events))) &&
            FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&events))))
            return CONNECT_E_CANNOTCONNECT;
        m_sinks.push_back(events);
        *cookie = static_cast<DWORD>(m_sinks.size());
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override
    {
        if (cookie == 0 || cookie > m_sinks.size() || !m_sinks[cookie - 1])
            return CONNECT_E_NOCONNECTION;
        m_sinks[cookie - 1]->Release();
        m_sinks[cookie - 1] = nullptr;
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override
    {
        if (connections)
            *connections = nullptr;
        return E_NOTIMPL;
    }

private:
    void ReleaseSinks()
    {
        for (IUnknown*& sink : m_sinks) {
            if (sink)
                sink->Release();
            sink = nullptr;
        }
    }

    IID m_iid;
    IConnectionPointContainer* m_container;
    std::vector<IUnknown*> m_sinks;  // cookie - 1 is the index; released slots are null
};

// Enumerators over a fixed list; Item copies one element out to the caller.
template <typename Derived, typename Interface, typename Element>
class ListEnumerator : public SmallObject<Derived, Interface> {
public:
    STDMETHODIMP Next(ULONG count, Element* out, ULONG* fetched) override
    {
        if (!out || (count > 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_next < Size())
            static_cast<Derived*>(this)->Item(m_next++, &out[n++]);
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        m_next = m_next + count > Size() ? Size() : m_next + count;
        return m_next < Size() || count == 0 ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        m_next = 0;
        return S_OK;
    }
    // A copy at the same position; Derived::Copy makes one at the start.
    STDMETHODIMP Clone(Interface** copy) override
    {
        if (!copy)
            return E_POINTER;
        Derived* clone = static_cast<const Derived*>(this)->Copy();
        if (clone)
            clone->m_next = m_next;
        *copy = clone;
        return clone ? S_OK : E_OUTOFMEMORY;
    }

protected:
    ULONG Size() const { return static_cast<const Derived*>(this)->Count(); }
    ULONG m_next = 0;
};

class PointEnumerator : public ListEnumerator<PointEnumerator, IEnumConnectionPoints, IConnectionPoint*> {
public:
    explicit PointEnumerator(const std::vector<IConnectionPoint*>& points) : m_points(points)
    {
        for (IConnectionPoint* p : m_points)
            p->AddRef();
    }
    ~PointEnumerator() override
    {
        for (IConnectionPoint* p : m_points)
            p->Release();
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        static const InterfaceEntry<PointEnumerator> table[] = {
            {&IID_IUnknown, CastTo<PointEnumerator, IEnumConnectionPoints>},
            {&IID_IEnumConnectionPoints, CastTo<PointEnumerator, IEnumConnectionPoints>},
        };
        return TableQueryInterface(this, table, riid, out);
    }
    PointEnumerator* Copy() const { return new (std::nothrow) PointEnumerator(m_points); }
    ULONG Count() const { return static_cast<ULONG>(m_points.size()); }
    void Item(ULONG i, IConnectionPoint** out)
    {
        *out = m_points[i];
        (*out)->AddRef();
    }

private:
    std::vector<IConnectionPoint*> m_points;
};

class VerbEnumerator : public ListEnumerator<VerbEnumerator, IEnumOLEVERB, OLEVERB> {
public:
    explicit VerbEnumerator(const OLEVERB& verb) : m_verb(verb) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        static const InterfaceEntry<VerbEnumerator> table[] = {
            {&IID_IUnknown, CastTo<VerbEnumerator, IEnumOLEVERB>},
            {&IID_IEnumOLEVERB, CastTo<VerbEnumerator, IEnumOLEVERB>},
        };
        return TableQueryInterface(this, table, riid, out);
    }
    VerbEnumerator* Copy() const { return new (std::nothrow) VerbEnumerator(m_verb); }
    ULONG Count() const { return 1; }
    void Item(ULONG, OLEVERB* out)
    {
        // The caller frees the name with CoTaskMemFree.
        *out = m_verb;
        const size_t bytes = (wcslen(m_verb.lpszVerbName) + 1) * sizeof(WCHAR);
        out->lpszVerbName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (out->lpszVerbName)
            memcpy(out->lpszVerbName, m_verb.lpszVerbName, bytes);
    }

private:
    OLEVERB m_verb;
};

}  // namespace

IConnectionPoint* CreateSilentConnectionPoint(const IID& iid, IConnectionPointContainer* container)
{
    return new (std::nothrow) SilentConnectionPoint(iid, container);
}

void DetachConnectionPoint(IConnectionPoint* point)
{
    static_cast<SilentConnectionPoint*>(point)->Detach();
}

IEnumConnectionPoints* CreateConnectionPointEnumerator(const std::vector<IConnectionPoint*>& points)
{
    return new (std::nothrow) PointEnumerator(points);
}

IEnumOLEVERB* CreateVerbEnumerator(const OLEVERB& verb)
{
    return new (std::nothrow) VerbEnumerator(verb);
}
