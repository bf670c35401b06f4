#include "tools/publish/sha256.h"

#include <openssl/sha.h>

#include "framework/hex_text.h"

std::string Sha256Hex(const std::string& bytes)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return HexText(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
}
