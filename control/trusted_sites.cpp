#include "control/trusted_sites.h"

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
        std::vector<std::string> list;
        const char* volatile record = kVexaSiteRecord;
        const std::string all = record + sizeof(VEXA_SITE_RECORD_TAG) - 1;
        for (size_t start = 0; start < all.size();) {
            size_t end = all.find(',', start);
            if (end == std::string::npos)
                end = all.size();
            if (end > start)
                list.push_back(all.substr(start, end - start));
            start = end + 1;
        }
        return list;
    }();
    return sites;
}

#ifndef VEXA_NETWORK_TIMEOUT_MS
#define VEXA_NETWORK_TIMEOUT_MS 30000
#endif
#ifndef VEXA_RETRY_BASE_MS
#define VEXA_RETRY_BASE_MS 1000
#endif

NetworkBounds ModuleNetworkBounds()
{
    return {VEXA_NETWORK_TIMEOUT_MS, VEXA_RETRY_BASE_MS};
}
