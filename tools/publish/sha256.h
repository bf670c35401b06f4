// SHA-256 for the publishing tool (OpenSSL's libcrypto), which runs where the control's
// system provider is not.
#pragma once

#include <string>

// The digest of the bytes as 64 lower-case hex digits.
std::string Sha256Hex(const std::string& bytes);
