#include "framework/rsa_key.h"

#include <algorithm>
#include <vector>

#include "framework/sha256_hash.h"

#ifndef CALG_SHA_256
#define CALG_SHA_256 0x0000800c
#endif

RsaPublicKey::RsaPublicKey(const std::string& pem)
{
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                              nullptr, nullptr))
        return;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size,
                              nullptr, nullptr))
        return;
    der.resize(size);
    Sha256Hash hash;
    if (!hash.Add(der.data(), static_cast<DWORD>(der.size())))
        return;
    const std::string digest = hash.HexDigest();
    if (digest.size() < 16)
        return;

    CERT_PUBLIC_KEY_INFO* info = nullptr;
    DWORD infoSize = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(), static_cast<DWORD>(der.size()),
                             CRYPT_DECODE_ALLOC_FLAG, nullptr, &info, &infoSize))
        return;
    const bool acquired = CryptAcquireContextA(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
    const bool imported = acquired && CryptImportPublicKeyInfo(m_provider, X509_ASN_ENCODING, info, &m_key);
    LocalFree(info);
    if (!acquired) {
        m_provider = 0;
        return;
    }
    if (!imported) {
        m_key = 0;
        return;
    }
    // Only the sizes the format allows: a weak key is no key.
    DWORD bits = 0, bitsSize = sizeof(bits);
    if (!CryptGetKeyParam(m_key, KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &bitsSize, 0) || bits < 2048 ||
        bits > 4096) {
        CryptDestroyKey(m_key);
        m_key = 0;
        return;
    }
    m_id = digest.substr(0, 16);
}

RsaPublicKey::~RsaPublicKey()
{
    const DWORD error = GetLastError();
    if (m_key)
        CryptDestroyKey(m_key);
    if (m_provider)
        CryptReleaseContext(m_provider, 0);
    SetLastError(error);
}

bool RsaPublicKey::Verify(std::string_view data, const std::string& signature) const
{
    if (!m_key || signature.empty())
        return false;
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(m_provider, CALG_SHA_256, 0, 0, &hash))
        return false;
    bool good = false;
    if (CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()), 0)) {
        // CryptoAPI takes the signature little-endian.
        std::vector<BYTE> reversed(signature.rbegin(), signature.rend());
        good = CryptVerifySignatureA(hash, reversed.data(), static_cast<DWORD>(reversed.size()), m_key, nullptr, 0);
    }
    CryptDestroyHash(hash);
    return good;
}
