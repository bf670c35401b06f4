#include "trust/base64.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int ValueOf(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

std::string Base64Encode(const std::string& bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned b1 = static_cast<unsigned char>(bytes[i + 1]);
        const unsigned b2 = static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[b0 >> 2];
        out += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        out += kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
        out += kAlphabet[b2 & 63];
    }
    const size_t rest = bytes.size() - i;
    if (rest == 1) {
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        out += kAlphabet[b0 >> 2];
        out += kAlphabet[(b0 & 3) << 4];
        out += "==";
    } else if (rest == 2) {
        const unsigned b0 = static_cast<unsigned char>(bytes[i]);
        const unsigned b1 = static_cast<unsigned char>(bytes[i + 1]);
        out += kAlphabet[b0 >> 2];
        out += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        out += kAlphabet[(b1 & 15) << 2];
        out += '=';
    }
    return out;
}

bool Base64Decode(const std::string& text, std::string* bytes)
{
    bytes->clear();
    if (text.size() % 4 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=' && text[i + 3] == '=') : 0;
        int v[4];
        for (int k = 0; k < 4 - pad; ++k) {
            v[k] = ValueOf(text[i + k]);
            if (v[k] < 0)
                return false;
        }
        bytes->push_back(static_cast<char>((v[0] << 2) | (v[1] >> 4)));
        if (pad == 2) {
            if (v[1] & 15)
                return false;
            break;
        }
        bytes->push_back(static_cast<char>(((v[1] & 15) << 4) | (v[2] >> 2)));
        if (pad == 1) {
            if (v[2] & 3)
                return false;
            break;
        }
        bytes->push_back(static_cast<char>(((v[2] & 3) << 6) | v[3]));
    }
    return true;
}
