#include "control/trusted_sites.h"

// The build gives the list with "," between the entries.

#ifndef VEXA_TRUSTED_SITES
#define VEXA_TRUSTED_SITES ""
#endif

const std::vector<std::string>& TrustedSites()
{
    static const std::vector<std::string> sites = [] {
        std::vector<std::string> list;
        const std::string all = VEXA_TRUSTED_SITES;
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
