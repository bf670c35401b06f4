#include "engine/retry_policy.h"

bool IsTransientStatus(unsigned status)
{
    return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

bool IsTransientError(unsigned long error)
{
    // ERROR_INTERNET_TIMEOUT, CANNOT_CONNECT, CONNECTION_ABORTED, CONNECTION_RESET,
    // INVALID_SERVER_RESPONSE
    return error == 12002 || error == 12029 || error == 12030 || error == 12031 || error == 12152;
}

unsigned BackoffMs(int attempt, unsigned baseMs, unsigned jitter)
{
    if (attempt < 0)
        attempt = 0;
    if (attempt > 10)
        attempt = 10;
    const unsigned long long wait = static_cast<unsigned long long>(baseMs) << attempt;
    const unsigned long long quarter = wait / 4;
    // jitter spreads the wait over [wait - quarter, wait + quarter].
    const unsigned long long spread = quarter * 2 + 1;
    const unsigned long long moved = wait - quarter + (jitter % spread);
    return moved > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<unsigned>(moved);
}

unsigned RetryAfterMs(std::string_view header)
{
    while (!header.empty() && (header.front() == ' ' || header.front() == '\t'))
        header.remove_prefix(1);
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t'))
        header.remove_suffix(1);
    if (header.empty() || header.size() > 9)
        return 0;
    unsigned long long seconds = 0;
    for (char c : header) {
        if (c < '0' || c > '9')
            return 0;
        seconds = seconds * 10 + static_cast<unsigned>(c - '0');
    }
    const unsigned long long ms = seconds * 1000;
    return ms > kMaxRetryAfterMs ? kMaxRetryAfterMs : static_cast<unsigned>(ms);
}

bool NextRetryWait(unsigned retryAfterMs, int attempt, unsigned baseMs, unsigned jitter, unsigned waitedMs,
                   unsigned budgetMs, unsigned* waitMs)
{
    const unsigned wait = retryAfterMs ? retryAfterMs : BackoffMs(attempt, baseMs, jitter);
    // Compared without a sum that could wrap.
    if (waitedMs > budgetMs || wait > budgetMs - waitedMs)
        return false;
    *waitMs = wait;
    return true;
}
