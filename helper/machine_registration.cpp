#include "helper/machine_registration.h"

#include "trust/module_ids.h"

std::string MachineRegisteredServer(const GUID& clsid)
{
    const std::string path = "Software\\Classes\\CLSID\\" + GuidText(clsid) + "\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    char value[MAX_PATH] = {};
    DWORD size = sizeof(value) - 1, type = 0;
    const LONG read = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    return value;
}
