// Signing an update list with the publisher's private keys, and checking one the way the
// control does, through OpenSSL's libcrypto. The line rules are the control's own
// (trust/list_signature.h).
#pragma once

#include <string>
#include <vector>

#include "trust/list_signature.h"

// What a signed list says of itself (the signed lines at its top).
struct ListHeader {
    std::string name;                  // the identity it is for
    std::string channel;               // its channel; empty: the default (list.txt)
    long long signedUnix = 0;          // the signing time, UTC
    long long expiresUnix = 0;         // the expiry, UTC
    std::vector<std::string> revokes;  // key ids the controls must no longer take
    std::string report;                // where controls report each run; empty: nowhere
};

// Adds the header's lines at the top and one signature line per key at the end of list
// (CR LF line ends). False, with the reason, when a key cannot be used or the header is
// malformed.
bool SignList(std::string* list, const std::vector<std::string>& privateKeyPems, const ListHeader& header,
              std::string* error);

// True when list carries a valid signature by the key, names whom it is for and when it was
// signed, and is not past its expiry at nowUnix (*claims then says what it names);
// otherwise false with the reason.
bool VerifyList(const std::string& list, const std::string& publicKeyPem, long long nowUnix, std::string* why,
                ListClaims* claims = nullptr);

// Seconds since 1970 as the list's 14 digits, and back (false when malformed).
std::string UtcDigits(long long unixTime);

// The key's identifier as signature lines name it; empty when it is not an RSA public key
// of 2048 to 4096 bits.
std::string PublicKeyId(const std::string& publicKeyPem);
