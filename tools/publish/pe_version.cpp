#include "tools/publish/pe_version.h"

#include <cstdint>
#include <cstring>

namespace {

// Bounds-checked little-endian reads; every offset comes from the file.
struct Reader {
    const std::string& bytes;
    bool ok = true;
    template <typename T>
    T Read(size_t at)
    {
        if (at > bytes.size() || bytes.size() - at < sizeof(T)) {
            ok = false;
            return 0;
        }
        T v;
        std::memcpy(&v, bytes.data() + at, sizeof(T));
        return v;
    }
    uint32_t U32(size_t at) { return Read<uint32_t>(at); }
    uint16_t U16(size_t at) { return Read<uint16_t>(at); }
};

constexpr uint32_t kVersionType = 16;  // RT_VERSION

}  // namespace

bool ReadPeFileVersion(const std::string& bytes, std::string* version, std::string* error)
{
    Reader r{bytes};
    version->clear();
    if (r.U16(0) != 0x5A4D) {
        *error = "not a Windows module (no MZ header)";
        return false;
    }
    const size_t pe = r.U32(0x3C);
    if (!r.ok || r.U32(pe) != 0x00004550) {
        *error = "not a Windows module (no PE header)";
        return false;
    }
    const uint16_t sections = r.U16(pe + 6);
    const uint16_t optionalSize = r.U16(pe + 20);
    const size_t optional = pe + 24;
    const uint16_t magic = r.U16(optional);
    if (magic != 0x10B && magic != 0x20B) {
        *error = "unknown optional header";
        return false;
    }
    const size_t directories = optional + (magic == 0x10B ? 96 : 112);
    const uint32_t directoryCount = r.U32(optional + (magic == 0x10B ? 92 : 108));
    if (!r.ok || directoryCount < 3) {
        *error = "no resource directory";
        return false;
    }
    const uint32_t rsrcRva = r.U32(directories + 2 * 8);
    if (!r.ok || rsrcRva == 0) {
        *error = "no resources";
        return false;
    }
    // The file offset of an address, from the section that holds it.
    auto offsetOf = [&](uint32_t rva, size_t* at) {
        const size_t table = optional + optionalSize;
        for (uint16_t i = 0; i < sections; ++i) {
            const size_t s = table + 40u * i;
            const uint32_t vsize = r.U32(s + 8), vaddr = r.U32(s + 12), rawSize = r.U32(s + 16), rawPtr = r.U32(s + 20);
            const uint32_t span = vsize > rawSize ? vsize : rawSize;
            if (r.ok && rva >= vaddr && rva - vaddr < span) {
                *at = static_cast<size_t>(rawPtr) + (rva - vaddr);
                return true;
            }
        }
        return false;
    };
    size_t base = 0;
    if (!offsetOf(rsrcRva, &base)) {
        *error = "the resources lie outside every section";
        return false;
    }
    // Three levels: type, name, language; the first entry of each below the version type.
    auto firstChild = [&](size_t directory, bool matchType, size_t* child, bool* leaf) {
        const uint16_t named = r.U16(directory + 12), ids = r.U16(directory + 14);
        for (uint32_t i = 0; i < static_cast<uint32_t>(named) + ids && i < 4096; ++i) {
            const uint32_t name = r.U32(directory + 16 + 8 * i), target = r.U32(directory + 20 + 8 * i);
            if (!r.ok)
                return false;
            if (matchType && name != kVersionType)
                continue;
            *leaf = !(target & 0x80000000u);
            *child = base + (target & 0x7FFFFFFFu);
            return true;
        }
        return false;
    };
    size_t node = base;
    bool leaf = false;
    for (int level = 0; level < 3; ++level) {
        if (!firstChild(node, level == 0, &node, &leaf) || (leaf != (level == 2))) {
            *error = "no version resource";
            return false;
        }
    }
    size_t block = 0;
    const uint32_t dataRva = r.U32(node), dataSize = r.U32(node + 4);
    if (!r.ok || !offsetOf(dataRva, &block) || block > bytes.size() || bytes.size() - block < dataSize) {
        *error = "a broken version resource";
        return false;
    }
    // VS_VERSIONINFO: lengths, type, the key "VS_VERSION_INFO" in UTF-16, padding, then the
    // fixed information with its signature.
    const size_t fixed = block + ((6 + 32 + 3) & ~static_cast<size_t>(3));
    if (r.U16(block + 2) < 52 || r.U32(fixed) != 0xFEEF04BDu || fixed + 52 > block + dataSize) {
        *error = "a version resource without its fixed part";
        return false;
    }
    const uint32_t ms = r.U32(fixed + 8), ls = r.U32(fixed + 12);
    *version = std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
               std::to_string(ls & 0xFFFF);
    return true;
}
