// The retry rules as exact values, a row per rule: which answers are tried again, how long
// a server's Retry-After and the backoff wait, and the run's budget for all waits.
#include <gtest/gtest.h>

#include "engine/retry_policy.h"

namespace {

TEST(RetryRules, WhatIsTriedAgain)
{
    struct Case {
        unsigned code;
        bool status;  // an HTTP status, else a WinINet error
        bool transient;
        const char* what;
    };
    const Case cases[] = {
        {408, true, true, "408 request timeout"},   {429, true, true, "429 too many requests"},
        {500, true, true, "500"},                   {502, true, true, "502 bad gateway"},
        {503, true, true, "503"},                   {504, true, true, "504 gateway timeout"},
        {404, true, false, "404"},                  {403, true, false, "403"},
        {501, true, false, "501 not implemented"},  {200, true, false, "200"},
        {12002, false, true, "a timeout"},          {12029, false, true, "a refused connection"},
        {12030, false, true, "an aborted connection"}, {12031, false, true, "a reset connection"},
        {12152, false, true, "a response that cannot be read"},
        {12007, false, false, "a name that does not resolve"}, {12038, false, false, "a certificate for another name"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.status ? IsTransientStatus(c.code) : IsTransientError(c.code), c.transient) << c.what;
}

TEST(RetryRules, RetryAfterIsWholeSecondsCappedAtThirty)
{
    struct Case {
        const char* header;
        unsigned ms;
    };
    const Case cases[] = {
        {"1", 1000}, {" 2\t", 2000}, {"0", 0}, {"30", 30000}, {"31", kMaxRetryAfterMs}, {"999999999", 30000},
        {"1000000000", 0}, {"", 0}, {"-1", 0}, {"1.5", 0}, {"Wed, 21 Oct 2026 07:28:00 GMT", 0}, {"1 2", 0},
    };
    EXPECT_EQ(kMaxRetryAfterMs, 30000u) << "the cap the README gives";
    for (const Case& c : cases)
        EXPECT_EQ(RetryAfterMs(c.header), c.ms) << "'" << c.header << "'";
}

TEST(RetryRules, BackoffDoublesWithinAQuarterAndTheBudgetBoundsAllWaits)
{
    EXPECT_EQ(kRetryBaseMs, 1000u) << "the first wait the README gives";
    EXPECT_EQ(kRunRetryBudgetMs, 60000u) << "the run's budget the README gives";
    EXPECT_EQ(kMaxRetries, 3) << "three tries after the first";
    EXPECT_EQ(kNetworkTimeoutMs, 30000u) << "the bound on every wait the README gives";
    EXPECT_EQ(kRateFloorBytesPerSecond, 4096u) << "the rate floor over a span of twice the bound";
    EXPECT_EQ(kNetworkCeilingMs, 7200000u) << "the run's network ceiling, two hours";
    // The README's arithmetic: at the floor, the 24 MiB a run may fetch fits the ceiling;
    // at 16 KiB/s an 8 MiB file takes under ten minutes, each span bringing four floors.
    EXPECT_LE(24ull * 1024 * 1024 * 1000 / kRateFloorBytesPerSecond, kNetworkCeilingMs);
    EXPECT_LT(8ull * 1024 * 1024 * 1000 / (16 * 1024), 10ull * 60 * 1000);
    EXPECT_EQ(16u * 1024 / kRateFloorBytesPerSecond, 4u);
    EXPECT_EQ(kMaxReconnects, 64) << "reconnections after a cut, per request";
    struct Case {
        unsigned retryAfterMs;
        int attempt;
        unsigned jitter;
        unsigned waitedMs;
        bool waits;
        unsigned ms;
        const char* what;
    };
    const unsigned base = kRetryBaseMs, budget = kRunRetryBudgetMs;
    const Case cases[] = {
        {0, 0, 0, 0, true, 750, "the first retry, least jitter"},
        {0, 0, 500, 0, true, 1250, "the first retry, most jitter"},
        {0, 0, 501, 0, true, 750, "jitter wraps"},
        {0, 1, 0, 0, true, 1500, "the second doubles"},
        {0, 2, 2000, 0, true, 5000, "the third: 4 s and a quarter"},
        {0, -3, 0, 0, true, 750, "a negative attempt is the first"},
        {2000, 2, 0, 0, true, 2000, "a Retry-After replaces the backoff"},
        {0, 0, 0, budget - 750, true, 750, "a wait that just fits the budget"},
        {0, 0, 0, budget - 749, false, 0, "one that passes it by 1 ms"},
        {30000, 0, 0, 30000, true, 30000, "two capped Retry-Afters fill the budget"},
        {30000, 0, 0, 30001, false, 0, "a third does not fit"},
        {0, 0, 0, budget + 5, false, 0, "already past the budget"},
    };
    for (const Case& c : cases) {
        unsigned wait = 12345;
        EXPECT_EQ(NextRetryWait(c.retryAfterMs, c.attempt, base, c.jitter, c.waitedMs, budget, &wait), c.waits) << c.what;
        if (c.waits) {
            EXPECT_EQ(wait, c.ms) << c.what;
        }
    }
    EXPECT_EQ(BackoffMs(40, 0xFFFFFFFFu, 0), 0xFFFFFFFFu) << "a huge wait saturates instead of wrapping";
}

}  // namespace
