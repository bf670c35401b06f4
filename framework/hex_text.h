// Lower-case hex of bytes: digests and key identifiers as lists and tools write them.
// Plain code without Windows headers, for the modules and the host tools alike.
#pragma once

#include <string>
#include <string_view>

inline std::string HexText(std::string_view bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    }
    return out;
}
