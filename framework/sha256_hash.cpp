#include "framework/sha256_hash.h"

// Declared only for newer targets; XP SP3's AES provider has it.
#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c
#endif

Sha256Hash::Sha256Hash()
{
    if (!CryptAcquireContextA(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        m_provider = 0;
        return;
    }
    if (!CryptCreateHash(m_provider, CALG_SHA_256, 0, 0, &m_hash))
        m_hash = 0;
}

Sha256Hash::~Sha256Hash()
{
    const DWORD error = GetLastError();
    if (m_hash)
        CryptDestroyHash(m_hash);
    if (m_provider)
        CryptReleaseContext(m_provider, 0);
    SetLastError(error);
}

bool Sha256Hash::Add(const void* data, DWORD size)
{
    return m_hash && CryptHashData(m_hash, static_cast<const BYTE*>(data), size, 0);
}

std::string Sha256Hash::HexDigest()
{
    BYTE digest[32];
    DWORD size = sizeof(digest);
    if (!m_hash || !CryptGetHashParam(m_hash, HP_HASHVAL, digest, &size, 0) || size != sizeof(digest))
        return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (BYTE b : digest) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}
