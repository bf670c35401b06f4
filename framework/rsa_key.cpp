#include "framework/rsa_key.h"

#include <vector>

#include "framework/sha256_hash.h"

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
    CryptProvider provider = OpenAesProvider();
    HCRYPTKEY imported = 0;
    const bool ok = provider && CryptImportPublicKeyInfo(provider.Get(), X509_ASN_ENCODING, info, &imported);
    LocalFree(info);
    if (!ok)
        return;
    CryptKey key(imported);
    // Only the sizes the format allows: a weak key is no key.
    DWORD bits = 0, bitsSize = sizeof(bits);
    if (!CryptGetKeyParam(key.Get(), KP_KEYLEN, reinterpret_cast<BYTE*>(&bits), &bitsSize, 0) || bits < 2048 ||
        bits > 4096)
        return;
    m_provider = std::move(provider);
    m_key = std::move(key);
    m_id = digest.substr(0, 16);
    m_modulusBytes = bits / 8;
}

bool RsaPublicKey::VerifyDigest(const std::string& digest, const std::string& signature) const
{
    if (!m_key || signature.size() != m_modulusBytes)
        return false;
    Sha256Hash hash(m_provider.Get());
    if (!hash.SetDigest(digest))
        return false;
    // CryptoAPI takes the signature little-endian.
    std::vector<BYTE> reversed(signature.rbegin(), signature.rend());
    return CryptVerifySignatureA(hash.Handle(), reversed.data(), static_cast<DWORD>(reversed.size()), m_key.Get(),
                                 nullptr, 0);
}
