// The retry rules on arbitrary headers and numbers: a server's Retry-After never buys more
// than the cap, and a backoff stays within a quarter of its doubling.
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/retry_policy.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view header(reinterpret_cast<const char*>(data), size);
    const unsigned wait = RetryAfterMs(header);
    CHECK(wait <= kMaxRetryAfterMs, "Retry-After is capped");
    CHECK(wait % 1000 == 0 || wait == kMaxRetryAfterMs, "whole seconds");
    if (size >= 8) {
        unsigned base = 0, jitter = 0;
        std::memcpy(&base, data, 4);
        std::memcpy(&jitter, data + 4, 4);
        base %= 100000;
        const int attempt = static_cast<int>(jitter % 4);
        const unsigned long long nominal = static_cast<unsigned long long>(base) << attempt;
        const unsigned long long got = BackoffMs(attempt, base, jitter);
        CHECK(got >= nominal - nominal / 4 && got <= nominal + nominal / 4, "within a quarter of the doubling");
    }
    return 0;
}
