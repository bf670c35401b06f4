// SHA-256 through the system's own cryptography provider (CryptoAPI with the AES
// provider, present since Windows XP SP3).
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "framework/handles.h"

// Declared only for newer targets; XP SP3's AES provider has it.
#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c
#endif

// The AES provider for hashing and public-key checks only; invalid when it cannot be had.
CryptProvider OpenAesProvider();

class Sha256Hash;

// Reads the first `bytes` of an open file through the digest (when there is one) and leaves
// the file positioned after them; false when the file does not hold exactly them.
bool HashFileBytes(HANDLE file, unsigned long long bytes, Sha256Hash* hash);

class Sha256Hash {
public:
    // On a provider of its own.
    Sha256Hash();
    // On a provider the caller keeps open for the hash's life (a key's, to check a signature).
    explicit Sha256Hash(HCRYPTPROV provider);

    // False when the provider or the hash could not be had.
    bool IsOpen() const { return m_hash.IsValid(); }
    bool Add(const void* data, DWORD size);
    // The digest's 32 bytes; empty on failure. Ends the hash.
    std::string Digest();
    // The digest as 64 lower-case hex digits; empty on failure. Ends the hash.
    std::string HexDigest();
    // Takes a digest computed before instead of data (to check a signature over it).
    bool SetDigest(const std::string& digest);
    HCRYPTHASH Handle() const { return m_hash.Get(); }

private:
    CryptProvider m_provider;  // declared first: the hash goes before it
    CryptHash m_hash;
};
