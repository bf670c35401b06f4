// When a request is tried again, and after how long. Plain functions without Windows
// headers, so that they can be tested and fuzzed on the host.
#pragma once

#include <string_view>

// Every wait of a request (connect, send, each receive) ends after this long: a slow mobile
// line still delivers something within it, a stalled server ends its step within a minute.
constexpr unsigned long kNetworkTimeoutMs = 30000;
// The rate floor: a body whose average rate over a span of twice the timeout (60 s) falls
// under this has timed out too, so a server that trickles just enough to answer each wait
// cannot hold the run. 4 KiB/s is a quarter of the slowest line served (16 KiB/s).
constexpr unsigned long kRateFloorBytesPerSecond = 4096;
// The run's network ceiling: no request starts, and none goes on, once the run has spent
// this long (the last wait may run on by the timeout and a half). A line at the floor
// still fetches the list and files of the size the README allows a run (24 MiB) within it.
constexpr unsigned long kNetworkCeilingMs = 2ul * 60 * 60 * 1000;
// The report of a run's outcome to the operator's server: one try, every wait and the whole
// request within this, so the window closes at most this much later.
constexpr unsigned long kReportTimeoutMs = 5000;
// The first wait before a retry; the next ones double it.
constexpr unsigned long kRetryBaseMs = 1000;
// Tries after the first, per request.
constexpr int kMaxRetries = 3;
// Reconnections per request after a try that staged more than the one before: these do
// not count as retries, but a server that cuts every connection after a few bytes must not
// hold the window for good.
constexpr int kMaxReconnects = 64;
// The longest wait a server's Retry-After gets.
constexpr unsigned kMaxRetryAfterMs = 30000;
// All the waits between tries in one run together never exceed this.
constexpr unsigned kRunRetryBudgetMs = 60000;

// HTTP 408, 429, 500, 502, 503, 504.
bool IsTransientStatus(unsigned status);
// WinINet's codes for a refused, reset or aborted connection, a timeout, and a response
// that could not be read.
bool IsTransientError(unsigned long error);

// The wait before try attempt + 2 (attempt 0: the first retry): base, 2 x base, 4 x base,
// each moved by up to a quarter either way by jitter (any number; its low bits are used).
unsigned BackoffMs(int attempt, unsigned baseMs, unsigned jitter);

// A Retry-After header in seconds, as a wait capped at kMaxRetryAfterMs; 0 when it is
// absent or not a number of seconds (an HTTP date is not honoured).
unsigned RetryAfterMs(std::string_view header);

// The wait before try attempt + 2: the server's Retry-After when it gave one (non-zero),
// else the backoff. False when the run has already waited waitedMs of its budgetMs and
// the wait would pass it.
bool NextRetryWait(unsigned retryAfterMs, int attempt, unsigned baseMs, unsigned jitter, unsigned waitedMs,
                   unsigned budgetMs, unsigned* waitMs);
