#include "framework/sha256_hash.h"

#include "framework/hex_text.h"

CryptProvider OpenAesProvider()
{
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return CryptProvider();
    return CryptProvider(provider);
}

Sha256Hash::Sha256Hash() : m_provider(OpenAesProvider())
{
    if (!m_provider)
        return;
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(m_provider.Get(), CALG_SHA_256, 0, 0, &hash))
        m_hash.Reset(hash);
}

Sha256Hash::Sha256Hash(HCRYPTPROV provider)
{
    HCRYPTHASH hash = 0;
    if (CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash))
        m_hash.Reset(hash);
}

bool Sha256Hash::Add(const void* data, DWORD size)
{
    return m_hash && CryptHashData(m_hash.Get(), static_cast<const BYTE*>(data), size, 0);
}

std::string Sha256Hash::Digest()
{
    BYTE digest[32];
    DWORD size = sizeof(digest);
    if (!m_hash || !CryptGetHashParam(m_hash.Get(), HP_HASHVAL, digest, &size, 0) || size != sizeof(digest))
        return std::string();
    return std::string(reinterpret_cast<const char*>(digest), sizeof(digest));
}

std::string Sha256Hash::HexDigest()
{
    const std::string digest = Digest();
    return digest.empty() ? std::string() : HexText(digest);
}

bool Sha256Hash::SetDigest(const std::string& digest)
{
    return m_hash && digest.size() == 32 &&
           CryptSetHashParam(m_hash.Get(), HP_HASHVAL, reinterpret_cast<const BYTE*>(digest.data()), 0);
}
