#include "tools/publish/list_signing.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <ctime>
#include <memory>

#include "trust/list_signature.h"
#include "tools/publish/sha256.h"

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct MdFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

Key ReadKey(const std::string& pem, bool isPrivate)
{
    std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio)
        return nullptr;
    Key key(isPrivate ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                      : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_base_id(key.get()) != EVP_PKEY_RSA || EVP_PKEY_bits(key.get()) < 2048 ||
        EVP_PKEY_bits(key.get()) > 4096)
        return nullptr;
    return key;
}

// The first 16 hex digits of the SHA-256 of the public key's DER SubjectPublicKeyInfo.
std::string KeyId(EVP_PKEY* key)
{
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    if (length <= 0)
        return std::string();
    const std::string bytes(reinterpret_cast<const char*>(der), static_cast<size_t>(length));
    OPENSSL_free(der);
    return Sha256Hex(bytes).substr(0, kKeyIdLength);
}

}  // namespace

std::string UtcDigits(long long unixTime)
{
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm utc = {};
    gmtime_r(&t, &utc);
    char digits[32] = {};
    std::strftime(digits, sizeof digits, "%Y%m%d%H%M%S", &utc);
    return digits;
}

std::string PublicKeyId(const std::string& publicKeyPem)
{
    const Key key = ReadKey(publicKeyPem, false);
    return key ? KeyId(key.get()) : std::string();
}

bool SignList(std::string* list, const std::vector<std::string>& privateKeyPems, const ListHeader& header,
              std::string* error)
{
    if (!IsValidListName(header.name, false) || (!header.channel.empty() && !IsValidListName(header.channel, true))) {
        *error = "--for takes NAME or NAME/CHANNEL: a letter, then letters and digits (a channel also - and _), at most 31";
        return false;
    }
    if (!header.report.empty() && !IsValidReportUrl(header.report)) {
        *error = "--report takes one URL of printable characters without spaces, at most 1024";
        return false;
    }
    if (header.signedUnix > header.expiresUnix) {
        *error = "a list cannot be signed after it expires";
        return false;
    }
    if (header.revokes.size() > kMaxRevokeLines) {
        *error = "at most " + std::to_string(kMaxRevokeLines) + " keys are revoked by one list";
        return false;
    }
    std::string text = ForLine(header.name, header.channel) + "\r\n" + SignedLine(UtcDigits(header.signedUnix)) +
                       "\r\n" + ExpiresLine(UtcDigits(header.expiresUnix)) + "\r\n";
    for (const std::string& id : header.revokes)
        text += RevokeLine(id) + "\r\n";
    if (!header.report.empty())
        text += ReportLine(header.report) + "\r\n";
    text += *list;
    if (!text.empty() && text.back() != '\n')
        text += "\r\n";
    const std::string signedText = SplitSignedList(text).signedText;
    std::string lines;
    for (size_t i = 0; i < privateKeyPems.size(); ++i) {
        const Key key = ReadKey(privateKeyPems[i], true);
        if (!key) {
            *error = "key " + std::to_string(i + 1) + " is not an RSA private key of 2048 to 4096 bits";
            return false;
        }
        std::unique_ptr<EVP_MD_CTX, MdFree> context(EVP_MD_CTX_new());
        size_t size = 0;
        if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
            EVP_DigestSign(context.get(), nullptr, &size, reinterpret_cast<const unsigned char*>(signedText.data()),
                           signedText.size()) != 1) {
            *error = "key " + std::to_string(i + 1) + " cannot sign";
            return false;
        }
        std::string signature(size, '\0');
        if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(&signature[0]), &size,
                           reinterpret_cast<const unsigned char*>(signedText.data()), signedText.size()) != 1) {
            *error = "key " + std::to_string(i + 1) + " cannot sign";
            return false;
        }
        signature.resize(size);
        lines += SignatureLine(KeyId(key.get()), signature) + "\r\n";
    }
    *list = text + lines;
    return true;
}

bool VerifyList(const std::string& list, const std::string& publicKeyPem, long long nowUnix, std::string* why,
                ListClaims* claims)
{
    const Key key = ReadKey(publicKeyPem, false);
    if (!key) {
        *why = "the key is not an RSA public key of 2048 to 4096 bits";
        return false;
    }
    const std::string id = KeyId(key.get());
    const SignedList split = SplitSignedList(list);
    bool named = false, verified = false;
    for (const ListSignature& signature : split.signatures) {
        if (signature.keyId != id)
            continue;
        named = true;
        std::unique_ptr<EVP_MD_CTX, MdFree> context(EVP_MD_CTX_new());
        verified = verified ||
                   (context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
                    EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.signature.data()),
                                     signature.signature.size(),
                                     reinterpret_cast<const unsigned char*>(split.signedText.data()),
                                     split.signedText.size()) == 1);
    }
    if (!named) {
        *why = "no signature by key " + id + (split.malformed ? " (a signature line cannot be read)" : "");
        return false;
    }
    if (!verified) {
        *why = "the signature by key " + id + " does not match the list: it was changed after signing";
        return false;
    }
    ListClaims read;
    if (!ReadListClaims(split.signedText, &read)) {
        *why = "the list has not one well-formed line each of #@for, #@signed and #@expires (or too many #@revoke)";
        return false;
    }
    if (read.expires <= UtcDigits(nowUnix)) {
        *why = "the list expired at " + read.expires.substr(0, 8) + " " + read.expires.substr(8) + " UTC";
        return false;
    }
    if (claims)
        *claims = read;
    return true;
}
