#include "control/trusted_sites.h"

#include "control/list_keys.h"
#include "engine/retry_policy.h"
#include "ui/progress_dialog.h"

// The build gives the list with "," between the entries.

#ifndef VEXA_TRUSTED_SITES
#define VEXA_TRUSTED_SITES ""
#endif

// Read through a volatile pointer, so the whole record stays in the module as it is written
// and the lock reads those very bytes.
extern const char kVexaSiteRecord[];
const char kVexaSiteRecord[] = VEXA_SITE_RECORD_TAG VEXA_TRUSTED_SITES;

const std::vector<std::string>& TrustedSites()
{
    static const std::vector<std::string> sites = [] {
        const char* volatile record = kVexaSiteRecord;
        return SplitSiteRecord(record + sizeof(VEXA_SITE_RECORD_TAG) - 1);
    }();
    return sites;
}

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
