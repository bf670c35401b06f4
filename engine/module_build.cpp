#include "engine/module_build.h"

#include "engine/retry_policy.h"
#include "framework/registry.h"
#include "trust/list_keys.h"
#include "trust/module_ids.h"
#include "trust/trusted_sites.h"
#include "ui/progress_dialog.h"

// A test build may shorten the bounds; the shipped modules keep the documented ones.
#ifndef VEXA_NETWORK_TIMEOUT_MS
#define VEXA_NETWORK_TIMEOUT_MS kNetworkTimeoutMs
#endif
#ifndef VEXA_NETWORK_CEILING_MS
#define VEXA_NETWORK_CEILING_MS kNetworkCeilingMs
#endif
#ifndef VEXA_RETRY_BASE_MS
#define VEXA_RETRY_BASE_MS kRetryBaseMs
#endif

namespace {

// The identity's key of the machine, where only administrators may write.
std::string MachineKeyName()
{
    return std::string("Software\\") + Identity().name;
}

// A process as its id and creation time: an id alone may come again for a later process.
struct ProcessMark {
    DWORD id;
    FILETIME created;
};

bool MarkOf(HANDLE process, DWORD id, ProcessMark* mark)
{
    FILETIME exited, kernel, user;
    *mark = ProcessMark{id, {}};
    return GetProcessTimes(process, &mark->created, &exited, &kernel, &user) != FALSE;
}

}  // namespace

void ApplyModuleBuild(UpdateProgressDialog& dialog, bool machine)
{
    dialog.m_trustedSites = TrustedSites();
    dialog.m_listKeys = ListKeys();
    // The lists taken are remembered per identity: the control where a low-integrity browser
    // may write, the elevated helper for the machine.
    dialog.m_identityName = Identity().name;
    dialog.m_listMemoryRoot = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    dialog.m_listMemoryKey = machine ? MachineKeyName() : std::string("Software\\AppDataLow\\") + Identity().name;
    dialog.m_logPath = RunLogPath(Identity().name, machine);
    dialog.m_logMachine = machine;
    dialog.m_networkTimeoutMs = VEXA_NETWORK_TIMEOUT_MS;
    dialog.m_retryBaseMs = VEXA_RETRY_BASE_MS;
    dialog.m_networkCeilingMs = VEXA_NETWORK_CEILING_MS;
}

void KeepHelperReport(const std::string& json)
{
    const RegKey key = CreateRegKey(HKEY_LOCAL_MACHINE, MachineKeyName(), KEY_SET_VALUE);
    ProcessMark mark;
    if (!key || !MarkOf(GetCurrentProcess(), GetCurrentProcessId(), &mark))
        return;
    // The text first: a reader that finds the process finds its text.
    if (WriteRegText(key.Get(), "LastRun", json))
        RegSetValueExA(key.Get(), "LastRunProcess", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&mark), sizeof(mark));
}

std::string HelperReportOf(HANDLE process)
{
    ProcessMark wanted;
    if (!MarkOf(process, GetProcessId(process), &wanted))
        return std::string();
    const RegKey key = OpenRegKey(HKEY_LOCAL_MACHINE, MachineKeyName(), KEY_QUERY_VALUE);
    if (!key)
        return std::string();
    ProcessMark kept = {};
    DWORD type = 0, size = sizeof(kept);
    if (RegQueryValueExA(key.Get(), "LastRunProcess", nullptr, &type, reinterpret_cast<BYTE*>(&kept), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof(kept) || kept.id != wanted.id ||
        CompareFileTime(&kept.created, &wanted.created) != 0)
        return std::string();
    // Bounded: the object of a list's files, never whatever the value has grown to.
    constexpr DWORD kLargestReport = 1024 * 1024;
    const std::string text = ReadRegText(key.Get(), "LastRun", kLargestReport);
    // An object of the page's shape, or nothing.
    return text.size() > 2 && text.front() == '{' && text.back() == '}' ? text : std::string();
}
