#include "control/registration.h"

#include <ole2.h>
#include <comcat.h>
#include <olectl.h>

#include <vector>

#include "trust/module_ids.h"
#include "framework/module.h"

namespace {

enum Owner { kControl, kPage };

// One registry value under HKEY_CLASSES_ROOT. In key and value, {CLSID} is the owner's
// class id, {PROGID} the control's ProgID, {LIBID} the type library id and {PATH} this
// module's path. name null: the key's default value.
struct RegistryRow {
    Owner owner;
    const char* key;
    const char* name;
    const char* value;
};

const RegistryRow kRows[] = {
    {kControl, "{PROGID}", nullptr, "VEXAUpdater Control"},
    {kControl, "{PROGID}\\CLSID", nullptr, "{CLSID}"},
    {kControl, "CLSID\\{CLSID}", nullptr, "VEXAUpdater Control"},
    {kControl, "CLSID\\{CLSID}\\ProgID", nullptr, "{PROGID}"},
    {kControl, "CLSID\\{CLSID}\\InprocServer32", nullptr, "{PATH}"},
    {kControl, "CLSID\\{CLSID}\\InprocServer32", "ThreadingModel", "Apartment"},
    {kControl, "CLSID\\{CLSID}\\ToolboxBitmap32", nullptr, "{PATH}, 1"},
    {kControl, "CLSID\\{CLSID}\\MiscStatus", nullptr, "0"},
    {kControl, "CLSID\\{CLSID}\\MiscStatus\\1", nullptr, "131473"},
    {kControl, "CLSID\\{CLSID}\\Control", nullptr, ""},
    {kControl, "CLSID\\{CLSID}\\TypeLib", nullptr, "{LIBID}"},
    {kControl, "CLSID\\{CLSID}\\Version", nullptr, "1.0"},
    {kPage, "CLSID\\{CLSID}", nullptr, "VEXAUpdater Property Page"},
    {kPage, "CLSID\\{CLSID}\\InprocServer32", nullptr, "{PATH}"},
    {kPage, "CLSID\\{CLSID}\\InprocServer32", "ThreadingModel", "Apartment"},
};

struct Category {
    const GUID* catid;
    const char* description;
};

const Category kCategories[] = {
    {&kCatidSafeForScripting, "Controls that are safely scriptable"},
    {&kCatidSafeForInitializing, "Controls safely initializable from persistent data"},
};

std::string Expand(const char* text, Owner owner)
{
    std::string out = text;
    const std::pair<const char*, std::string> fields[] = {
        {"{CLSID}", GuidText(owner == kControl ? CLSID_VexaUpdater : CLSID_VexaUpdaterPropPage)},
        {"{PROGID}", Identity().progId},
        {"{LIBID}", GuidText(LIBID_VEXAUPDATERLib)},
        {"{PATH}", ThisModulePath()},
    };
    for (const auto& field : fields) {
        for (size_t at = out.find(field.first); at != std::string::npos; at = out.find(field.first, at))
            out.replace(at, strlen(field.first), field.second), at += field.second.size();
    }
    return out;
}

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A key of the rows that is still there after they were removed. Only the control's class
// key may stay, and only for the category declarations that unregistration leaves.
bool KeyLeftBehind(const RegistryRow& row)
{
    const std::string path = Expand(row.key, row.owner);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0, values = 0;
    char first[64] = {};
    DWORD firstLength = sizeof(first);
    const bool known = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                        nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    const bool onlyCategories = known && values == 0 && subkeys == 1 &&
                                RegEnumKeyExA(key, 0, first, &firstLength, nullptr, nullptr, nullptr, nullptr) ==
                                    ERROR_SUCCESS &&
                                lstrcmpiA(first, "Implemented Categories") == 0;
    RegCloseKey(key);
    const bool classKey = row.owner == kControl && std::string(row.key) == "CLSID\\{CLSID}";
    return !(classKey && onlyCategories);
}

bool WriteRow(const RegistryRow& row)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, Expand(row.key, row.owner).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const std::string value = Expand(row.value, row.owner);
    const LONG written = RegSetValueExA(key, row.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

// Removes the row's value, then its key once nothing else is left in it. Keys that hold
// more (the control's implemented categories) stay. False when a value that is there
// cannot be deleted.
bool RemoveRow(const RegistryRow& row)
{
    const std::string path = Expand(row.key, row.owner);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return !KeyExists(path);
    const LONG deleted = RegDeleteValueA(key, row.name);
    DWORD subkeys = 0, values = 0;
    const bool empty = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                                        nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                       subkeys == 0 && values == 0;
    RegCloseKey(key);
    if (empty)
        RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool WriteRows(Owner owner)
{
    for (const RegistryRow& row : kRows)
        if (row.owner == owner && !WriteRow(row))
            return false;
    return true;
}

// False when anything of the rows could not be removed.
bool RemoveRows(Owner owner)
{
    bool removed = true;
    // Deepest rows first, so that parents are empty when their turn comes.
    for (size_t i = sizeof(kRows) / sizeof(kRows[0]); i-- > 0;)
        if (kRows[i].owner == owner)
            removed = RemoveRow(kRows[i]) && removed;
    for (const RegistryRow& row : kRows)
        if (row.owner == owner && KeyLeftBehind(row))
            removed = false;
    return removed;
}

// Failures here are silent: the control stays registered without the marks.
void RegisterCategory(const Category& category)
{
    ICatRegister* manager = nullptr;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                reinterpret_cast<void**>(&manager))))
        return;
    CATEGORYINFO info = {};
    info.catid = *category.catid;
    info.lcid = 1033;
    const std::wstring description = CategoryDescription(category.description);
    memcpy(info.szDescription, description.c_str(), (description.size() + 1) * sizeof(wchar_t));
    const HRESULT hr = manager->RegisterCategories(1, &info);
    manager->Release();
    if (FAILED(hr))
        return;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                                reinterpret_cast<void**>(&manager))))
        return;
    CATID catid = *category.catid;
    manager->RegisterClassImplCategories(CLSID_VexaUpdater, 1, &catid);
    manager->Release();
}

std::wstring ModulePathWide()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(ThisModule(), path, MAX_PATH - 1);
    return path;
}

// The registration tools do not all initialise COM; the categories manager needs it.
class ComScope {
public:
    ComScope() : m_hr(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }

private:
    HRESULT m_hr;
};

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

}  // namespace

std::wstring CategoryDescription(const char* text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(wcslen(wide.c_str()));
    if (wide.size() > 127)
        wide.resize(127);
    return wide;
}

HRESULT RegisterModule()
{
    ComScope com;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(ModulePathWide().c_str(), REGKIND_REGISTER, &library)))
        return SELFREG_E_TYPELIB;
    library->Release();

    // The categories are attempted whatever the class rows gave; the result is the rows'.
    const bool control = WriteRows(kControl);
    for (const Category& category : kCategories)
        RegisterCategory(category);
    const bool page = WriteRows(kPage);
    return control && page ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterModule()
{
    ComScope com;
    if (FAILED(UnRegisterTypeLib(LIBID_VEXAUPDATERLib, 1, 0, 0, kSysKind)))
        return SELFREG_E_TYPELIB;
    const bool control = RemoveRows(kControl);
    const bool page = RemoveRows(kPage);
    return control && page ? S_OK : SELFREG_E_CLASS;
}
