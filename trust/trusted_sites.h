// The sites a locked control accepts, fixed when the module is built (the CMake cache
// variable VEXA_TRUSTED_SITES). Empty: the control is not locked.
#pragma once

#include <string>
#include <vector>

// The sites are kept in the module as this tag followed by the ","-separated list, so that a
// release check reads back from the module's bytes exactly what the lock reads.
#define VEXA_SITE_RECORD_TAG "VEXA-TRUSTED-SITES:"

// The entries of a site record's list, as the lock and the release check both read them.
inline std::vector<std::string> SplitSiteRecord(const std::string& all)
{
    std::vector<std::string> list;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find(',', start);
        if (end == std::string::npos)
            end = all.size();
        if (end > start)
            list.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

const std::vector<std::string>& TrustedSites();
