// An RSA public key of the publisher, checked through the system's own provider (CryptoAPI,
// PROV_RSA_AES, present since Windows XP SP3): PKCS#1 v1.5 signatures over SHA-256.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <string_view>

class RsaPublicKey {
public:
    // pem: "-----BEGIN PUBLIC KEY-----" (a SubjectPublicKeyInfo), RSA of 2048 to 4096 bits.
    explicit RsaPublicKey(const std::string& pem);
    ~RsaPublicKey();
    RsaPublicKey(const RsaPublicKey&) = delete;
    RsaPublicKey& operator=(const RsaPublicKey&) = delete;

    bool IsOpen() const { return m_key != 0; }
    // The first 16 hex digits of the SHA-256 of the key's DER form.
    const std::string& Id() const { return m_id; }
    // signature: its bytes most significant first, as OpenSSL writes them.
    bool Verify(std::string_view data, const std::string& signature) const;

private:
    HCRYPTPROV m_provider = 0;
    HCRYPTKEY m_key = 0;
    std::string m_id;
};
