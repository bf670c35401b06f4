// The keyed run's memory of the lists it took, in the registry: per channel the newest signing
// time and its signer, and the keys revoked. Values are read as hostile: a malformed one
// counts as absent.
#include <cstring>

#include "framework/handles.h"
#include "ui/progress_dialog.h"

namespace {

std::string ValueName(const char* what, const std::string& channel)
{
    return channel.empty() ? what : std::string(what) + "." + channel;
}

std::string ReadText(HKEY key, const std::string& name)
{
    char value[1100] = {};
    DWORD size = sizeof(value) - 1, type = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return std::string(value, strnlen(value, size));
}

bool AllOf(const std::string& text, size_t length, const char* set)
{
    return text.size() == length && text.find_first_not_of(set) == std::string::npos;
}

const char kDigits[] = "0123456789";
const char kHex[] = "0123456789abcdef";

}  // namespace

ListMemory UpdateProgressDialog::ReadListMemory(const std::string& channel)
{
    ListMemory memory;
    HKEY opened = nullptr;
    if (m_listMemoryKey.empty() ||
        RegOpenKeyExA(m_listMemoryRoot, m_listMemoryKey.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return memory;
    const RegKey key(opened);
    const std::string newest = ReadText(key.Get(), ValueName("Signed", channel));
    const std::string signer = ReadText(key.Get(), ValueName("Signer", channel));
    if (AllOf(newest, 14, kDigits) && AllOf(signer, kKeyIdLength, kHex)) {
        memory.newestSigned = newest;
        memory.newestSigner = signer;
    }
    const std::string revoked = ReadText(key.Get(), "Revoked");
    for (size_t at = 0; at < revoked.size() && memory.revoked.size() < kMaxRememberedRevocations; at += kKeyIdLength + 1) {
        const std::string id = revoked.substr(at, kKeyIdLength);
        if (AllOf(id, kKeyIdLength, kHex))
            memory.revoked.push_back(id);
    }
    return memory;
}

BOOL UpdateProgressDialog::WriteListMemory(const std::string& channel, const ListMemory& memory)
{
    HKEY created = nullptr;
    if (m_listMemoryKey.empty() ||
        RegCreateKeyExA(m_listMemoryRoot, m_listMemoryKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
        return FALSE;
    const RegKey key(created);
    std::string revoked;
    for (const std::string& id : memory.revoked)
        revoked += (revoked.empty() ? "" : " ") + id;
    const auto set = [&](const std::string& name, const std::string& value) {
        return RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    };
    // The revocations first: a run cut between the two writes still refuses the revoked keys.
    const bool written = set("Revoked", revoked) && set(ValueName("Signed", channel), memory.newestSigned) &&
                         set(ValueName("Signer", channel), memory.newestSigner);
    return written ? TRUE : FALSE;
}
