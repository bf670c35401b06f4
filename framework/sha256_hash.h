// SHA-256 through the system's own cryptography provider (CryptoAPI with the AES
// provider, present since Windows XP SP3).
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

class Sha256Hash {
public:
    Sha256Hash();
    ~Sha256Hash();
    Sha256Hash(const Sha256Hash&) = delete;
    Sha256Hash& operator=(const Sha256Hash&) = delete;

    // False when the provider or the hash could not be had.
    bool IsOpen() const { return m_hash != 0; }
    bool Add(const void* data, DWORD size);
    // The digest as 64 lower-case hex digits; empty on failure. Ends the hash.
    std::string HexDigest();

private:
    HCRYPTPROV m_provider = 0;
    HCRYPTHASH m_hash = 0;
};
