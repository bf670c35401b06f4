#include "framework/com_module.h"

#include <new>

std::atomic<long>& ModuleLockCount()
{
    static std::atomic<long> count{0};
    return count;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** out)
{
    static const InterfaceEntry<ClassFactory> table[] = {
        {&IID_IUnknown, CastTo<ClassFactory, IClassFactory>},
        {&IID_IClassFactory, CastTo<ClassFactory, IClassFactory>},
    };
    return TableQueryInterface(this, table, riid, out);
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    const ULONG left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    IUnknown* object = m_entry.create();
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        ++ModuleLockCount();
    else
        --ModuleLockCount();
    return S_OK;
}
