// An RSA public key of the publisher, checked through the system's own provider (CryptoAPI,
// PROV_RSA_AES, present since Windows XP SP3): PKCS#1 v1.5 signatures over SHA-256.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "framework/handles.h"

class RsaPublicKey {
public:
    // pem: "-----BEGIN PUBLIC KEY-----" (a SubjectPublicKeyInfo), RSA of 2048 to 4096 bits.
    explicit RsaPublicKey(const std::string& pem);

    bool IsOpen() const { return m_key.IsValid(); }
    // The first 16 hex digits of the SHA-256 of the key's DER form.
    const std::string& Id() const { return m_id; }
    // A signature (its bytes most significant first, as OpenSSL writes them) over a SHA-256
    // digest computed once (Sha256Hash::Digest): one list, many candidate signatures, one
    // hashing. A signature that is not as long as the key's modulus is refused unchecked.
    bool VerifyDigest(const std::string& digest, const std::string& signature) const;

private:
    CryptProvider m_provider;  // declared first: the key goes before it
    CryptKey m_key;
    std::string m_id;
    size_t m_modulusBytes = 0;
};
