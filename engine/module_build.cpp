#include "engine/module_build.h"

#include "engine/retry_policy.h"
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

void ApplyModuleBuild(UpdateProgressDialog& dialog, bool machine)
{
    dialog.m_trustedSites = TrustedSites();
    dialog.m_listKeys = ListKeys();
    // The lists taken are remembered per identity: the control where a low-integrity browser
    // may write, the elevated helper for the machine.
    dialog.m_identityName = Identity().name;
    dialog.m_listMemoryRoot = machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    dialog.m_listMemoryKey = std::string(machine ? "Software\\" : "Software\\AppDataLow\\") + Identity().name;
    dialog.m_logPath = RunLogPath(Identity().name, machine);
    dialog.m_logMachine = machine;
    dialog.m_networkTimeoutMs = VEXA_NETWORK_TIMEOUT_MS;
    dialog.m_retryBaseMs = VEXA_RETRY_BASE_MS;
    dialog.m_networkCeilingMs = VEXA_NETWORK_CEILING_MS;
}
