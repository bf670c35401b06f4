// Base64 (RFC 4648, section 4, without line breaks), in which the control passes its three
// texts to the helper program and the helper reads them back, and in which list signatures
// are written. No Windows headers, so the rules can be tested and fuzzed on the host.
#pragma once

#include <string>

std::string Base64Encode(const std::string& bytes);
// Strict: only the alphabet, length a multiple of four, "=" only as the last one or two
// characters, and no bits set in the padding. False for anything else.
bool Base64Decode(const std::string& text, std::string* bytes);
