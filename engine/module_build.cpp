#include "engine/module_build.h"

#include "engine/retry_policy.h"
#include "trust/list_keys.h"
#include "trust/trusted_sites.h"
#include "ui/progress_dialog.h"

// A test build may shorten the bounds; the shipped modules keep the documented ones.
#ifndef VEXA_NETWORK_TIMEOUT_MS
#define VEXA_NETWORK_TIMEOUT_MS kNetworkTimeoutMs
#endif
#ifndef VEXA_RETRY_BASE_MS
#define VEXA_RETRY_BASE_MS kRetryBaseMs
#endif

void ApplyModuleBuild(UpdateProgressDialog& dialog)
{
    dialog.m_trustedSites = TrustedSites();
    dialog.m_listKeys = ListKeys();
    dialog.m_networkTimeoutMs = VEXA_NETWORK_TIMEOUT_MS;
    dialog.m_retryBaseMs = VEXA_RETRY_BASE_MS;
}
