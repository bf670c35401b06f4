#include "trust/trusted_sites.h"

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
