#include "engine/data_url.h"

std::string DataUrlForDialog(const std::string& url)
{
    if (!url.empty() && url.back() == '/')
        return url.substr(0, url.size() - 1);
    return url;
}
