#include "framework/registry.h"

#include <algorithm>

RegKey OpenRegKey(HKEY root, const std::string& path, REGSAM access)
{
    HKEY opened = nullptr;
    return RegKey(RegOpenKeyExA(root, path.c_str(), 0, access, &opened) == ERROR_SUCCESS ? opened : nullptr);
}

RegKey CreateRegKey(HKEY root, const std::string& path, REGSAM access)
{
    HKEY created = nullptr;
    return RegKey(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access, nullptr, &created, nullptr) == ERROR_SUCCESS
                      ? created
                      : nullptr);
}

std::string ReadRegText(HKEY key, const char* name, DWORD most)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ || size == 0 ||
        size > most)
        return std::string();
    std::string text(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    text.resize(std::min<size_t>(size, text.find('\0')));
    return text;
}

bool WriteRegText(HKEY key, const char* name, const std::string& text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}
