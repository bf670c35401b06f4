// COM plumbing shared by the module's classes: the module's object and lock count, table
// driven QueryInterface, and one class factory for every class of the class table.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <atomic>
#include <new>

// Objects alive and LockServer locks held; DllCanUnloadNow answers from it.
std::atomic<long>& ModuleLockCount();

// Counts an object of the module for as long as it lives.
class ModuleObject {
public:
    ModuleObject() { ++ModuleLockCount(); }
    ~ModuleObject() { --ModuleLockCount(); }
    ModuleObject(const ModuleObject&) = delete;
    ModuleObject& operator=(const ModuleObject&) = delete;
};

// Replaces the interface a slot holds, keeping one reference on the new one.
template <typename Interface>
void AssignInterface(Interface*& slot, Interface* value)
{
    if (value)
        value->AddRef();
    if (slot)
        slot->Release();
    slot = value;
}

// One row of a class's interface table: the interface id and how to reach the
// interface's vtable from the object.
template <typename Object>
struct InterfaceEntry {
    const IID* iid;
    void* (*cast)(Object* object);
};

template <typename Object, typename Interface>
void* CastTo(Object* object)
{
    return static_cast<Interface*>(object);
}

template <typename Object, size_t N>
HRESULT TableQueryInterface(Object* object, const InterfaceEntry<Object> (&table)[N], REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (const InterfaceEntry<Object>& entry : table) {
        if (IsEqualIID(*entry.iid, riid)) {
            *out = entry.cast(object);
            static_cast<IUnknown*>(*out)->AddRef();
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

// A row of the module's class table. create makes a new object at reference count 1 and
// returns it as IUnknown, or null when memory runs out.
struct ClassEntry {
    const CLSID* clsid;
    IUnknown* (*create)();
};

// The class factory of one class table row.
class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(const ClassEntry& entry) : m_entry(entry) {}
    virtual ~ClassFactory() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ModuleObject m_counted;
    std::atomic<ULONG> m_refs{1};
    const ClassEntry& m_entry;
};

// DllGetClassObject over a class table.
template <size_t N>
HRESULT GetClassObjectFromTable(const ClassEntry (&table)[N], REFCLSID clsid, REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& entry : table) {
        if (!IsEqualCLSID(*entry.clsid, clsid))
            continue;
        ClassFactory* factory = new (std::nothrow) ClassFactory(entry);
        if (!factory)
            return E_OUTOFMEMORY;
        const HRESULT hr = factory->QueryInterface(riid, out);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
