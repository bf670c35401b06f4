// SHA-256 (FIPS 180-4) for the publishing tool, which runs where the control's system
// provider is not.
#pragma once

#include <string>

// The digest of the bytes as 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);
