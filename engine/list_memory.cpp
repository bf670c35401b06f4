// The keyed run's memory of the lists it took, in the registry: per channel the newest signing
// time and its signer, and the keys revoked. Values are read as hostile: a malformed one
// counts as absent.
#include "framework/registry.h"
#include "ui/progress_dialog.h"

namespace {

std::string ValueName(const char* what, const std::string& channel)
{
    return channel.empty() ? what : std::string(what) + "." + channel;
}

std::string ReadText(HKEY key, const std::string& name)
{
    return ReadRegText(key, name.c_str(), 1099);
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
    const RegKey key = m_listMemoryKey.empty() ? RegKey() : OpenRegKey(m_listMemoryRoot, m_listMemoryKey, KEY_QUERY_VALUE);
    if (!key)
        return memory;
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
    const RegKey key = m_listMemoryKey.empty() ? RegKey() : CreateRegKey(m_listMemoryRoot, m_listMemoryKey, KEY_SET_VALUE);
    if (!key)
        return FALSE;
    std::string revoked;
    for (const std::string& id : memory.revoked)
        revoked += (revoked.empty() ? "" : " ") + id;
    const auto set = [&](const std::string& name, const std::string& value) {
        return WriteRegText(key.Get(), name.c_str(), value);
    };
    // The revocations first: a run cut between the two writes still refuses the revoked keys.
    const bool written = set("Revoked", revoked) && set(ValueName("Signed", channel), memory.newestSigned) &&
                         set(ValueName("Signer", channel), memory.newestSigner);
    return written ? TRUE : FALSE;
}
