// The public keys (PEM) a keyed build accepts update lists signed by, fixed when the module
// is built (the CMake cache variable VEXA_LIST_KEYS). Empty: the build is not keyed.
#pragma once

#include <string>
#include <vector>

const std::vector<std::string>& ListKeys();
