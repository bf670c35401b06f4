// The sites a locked control accepts, fixed when the module is built (the CMake cache
// variable VEXA_TRUSTED_SITES). Empty: the control is not locked.
#pragma once

#include <string>
#include <vector>

const std::vector<std::string>& TrustedSites();
