// The publishing tool's version reader on arbitrary bytes: it never reads outside them,
// and whatever it accepts gives a version of four numbers.
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"
#include "tools/publish/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string version, error;
    if (ReadPeFileVersion(bytes, &version, &error)) {
        int dots = 0;
        for (char c : version) {
            CHECK(c == '.' || (c >= '0' && c <= '9'), "digits and dots only");
            dots += c == '.';
        }
        CHECK(dots == 3, "four numbers");
    } else {
        CHECK(!error.empty(), "a refusal says why");
    }
    return 0;
}
