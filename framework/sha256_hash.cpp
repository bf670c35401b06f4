#include "framework/sha256_hash.h"

#include "framework/hex_text.h"

#include <algorithm>
#include <vector>

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

// Reads the first `bytes` of an open file through the digest (when there is one) and
// leaves the file positioned after them; false when the file does not hold exactly them.
bool HashFileBytes(HANDLE file, unsigned long long bytes, Sha256Hash* hash)
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || static_cast<unsigned long long>(size.QuadPart) != bytes)
        return false;
    if (!hash) {
        LARGE_INTEGER none = {};
        return SetFilePointerEx(file, none, nullptr, FILE_END) != FALSE;
    }
    std::vector<char> block(64 * 1024);
    for (unsigned long long done = 0; done < bytes;) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<unsigned long long>(block.size(), bytes - done));
        if (!ReadFile(file, block.data(), want, &read, nullptr) || read != want)
            return false;
        if (!hash->Add(block.data(), read))
            return false;
        done += read;
    }
    return true;
}
