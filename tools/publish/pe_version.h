// The file version of a Windows module, read from its bytes: the fixed part of the first
// version resource, as the control's version check reads it. No Windows needed.
#pragma once

#include <string>

// True with version as "a.b.c.d" when the bytes are a PE image with a version resource;
// false otherwise (error says why: not a PE image, no version resource, a broken one).
bool ReadPeFileVersion(const std::string& bytes, std::string* version, std::string* error);
