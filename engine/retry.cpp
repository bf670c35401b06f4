// Trying a request again: which answers are worth it, and the wait before the next try.
#include "framework/internet.h"
#include "ui/progress_dialog.h"

void UpdateProgressDialog::NoteTransientStatus(CHttpFile& file, DWORD status)
{
    if (!IsTransientStatus(status))
        return;
    m_transientFailure = TRUE;
    char header[64] = {};
    DWORD size = sizeof(header) - 1;
    if (HttpQueryInfoA(file.Handle(), HTTP_QUERY_RETRY_AFTER, header, &size, nullptr))
        m_retryAfterMs = RetryAfterMs(std::string_view(header, size));
}

NetworkBounds UpdateProgressDialog::Bounds() const
{
    return NetworkBounds{m_networkTimeoutMs, kRateFloorBytesPerSecond, m_networkStart + m_networkCeilingMs};
}

BOOL UpdateProgressDialog::NetworkTimeSpent() const
{
    return PastDeadline(Bounds()) ? TRUE : FALSE;
}

BOOL UpdateProgressDialog::WaitBeforeRetry(int attempt)
{
    // Tries of many visitors after one outage should not arrive together.
    const unsigned jitter = GetTickCount() * 2654435761u + GetCurrentThreadId();
    unsigned wait = 0;
    if (!NextRetryWait(m_retryAfterMs, attempt, m_retryBaseMs, jitter, m_retryWaitedMs, m_retryBudgetMs, &wait) ||
        m_stopRequested)
        return FALSE;
    m_retryAttempt = attempt + 1;
    Notify(WM_UPDATE_PROGRESS, PROGRESS_RETRY, m_shownPercent);
    // In short slices, so that a quitting host is not kept waiting.
    for (DWORD slept = 0; slept < wait && !m_stopRequested; slept += 50)
        Sleep(wait - slept < 50 ? wait - slept : 50);
    m_retryWaitedMs += wait;
    return !m_stopRequested;
}
