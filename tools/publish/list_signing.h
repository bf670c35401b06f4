// Signing an update list with the publisher's private keys, and checking one the way the
// control does, through OpenSSL's libcrypto. The line rules are the control's own
// (trust/list_signature.h).
#pragma once

#include <string>
#include <vector>

// Adds the expiry line (expiresUnix, UTC) at the top and one signature line per key at the
// end of list (CR LF line ends). False, with the reason, when a key cannot be used.
bool SignList(std::string* list, const std::vector<std::string>& privateKeyPems, long long expiresUnix,
              std::string* error);

// 0 when list carries a valid signature by the key and is not past its expiry at nowUnix;
// otherwise false with the reason.
bool VerifyList(const std::string& list, const std::string& publicKeyPem, long long nowUnix, std::string* why);

// The key's identifier as signature lines name it; empty when it is not an RSA public key
// of 2048 to 4096 bits.
std::string PublicKeyId(const std::string& publicKeyPem);
