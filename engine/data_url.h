// The data URL as the run takes it. No Windows headers, so the rule can be tested and fuzzed
// on the host.
#pragma once

#include <string>

// One trailing "/" removed: the run puts one slash before each file's name.
std::string DataUrlForDialog(const std::string& url);
