#include "tests/scripted_steps.h"

#include "ui/progress_dialog.h"

StepScript& Script()
{
    static StepScript script;
    return script;
}

std::atomic<int>& StagingRemovals()
{
    static std::atomic<int> count{0};
    return count;
}

const char* StepName(Step step)
{
    static const char* const names[] = {"None", "Fetch", "Parse", "Check", "Count", "Staging", "Download", "Install"};
    return names[static_cast<int>(step)];
}

namespace {

// The shared opening of a step; returns whether the script lets it succeed.
bool Begin(UpdateProgressDialog& dialog, Step step, bool notify)
{
    StepScript& script = Script();
    script.stepsRun.push_back(step);
    dialog.ClearLastError();
    if (notify)
        dialog.Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, dialog.m_progress);
    if (script.after[static_cast<int>(step)])
        script.after[static_cast<int>(step)](dialog);
    return script.failAt != step;
}

BOOL Fail(UpdateProgressDialog& dialog, int code, const char* text)
{
    dialog.m_lastErrorCode = code;
    dialog.m_lastErrorText = text;
    return FALSE;
}

}  // namespace

BOOL UpdateProgressDialog::FetchUpdateList()
{
    m_listText.Empty();
    if (!Begin(*this, Step::Fetch, true))
        return Fail(*this, 42, "scripted fetch failure");
    m_listText = "[UPDATE FILES]\n";
    return TRUE;
}

BOOL UpdateProgressDialog::ParseUpdateList()
{
    if (!Begin(*this, Step::Parse, true))
        return Fail(*this, 46, "scripted parse failure");
    m_installFolder = "C:\\scripted";
    m_stagingFolder = "C:\\scripted\\Update";
    for (int i = 0; i < Script().filesToDownload; ++i) {
        UpdateItem item;
        item.m_nUpdateState = kUpdateFile;
        item.m_strFileName.Format("file%d.dll", i);
        AddUpdateItem(item);
    }
    return TRUE;
}

BOOL UpdateProgressDialog::CheckVersions()
{
    // A failing version check leaves the last error cleared.
    return Begin(*this, Step::Check, true) ? TRUE : FALSE;
}

BOOL UpdateProgressDialog::CountUpdates()
{
    Begin(*this, Step::Count, true);
    m_downloadTotal = static_cast<int>(m_items.GetCount());
    m_updateNeeded = m_downloadTotal > 0;
    m_updateCount = m_downloadTotal;
    return TRUE;
}

BOOL UpdateProgressDialog::CreateStagingFolder()
{
    if (!Begin(*this, Step::Staging, false))
        return Fail(*this, 53, "scripted staging failure");
    return TRUE;
}

BOOL UpdateProgressDialog::DownloadFiles()
{
    Begin(*this, Step::Download, true);
    m_downloadDone = 0;
    const int base = m_shownPercent;
    const int succeed = Script().filesThatDownload < 0 ? m_downloadTotal : Script().filesThatDownload;
    for (int i = 0; i < m_downloadTotal; ++i) {
        const int step = (m_downloadRangeHigh - m_downloadRangeLow) / m_downloadTotal;
        Notify(WM_UPDATE_PROGRESS, PROGRESS_STEP, base + step * (m_downloadDone + 1));
        if (i < succeed)
            ++m_downloadDone;
    }
    return TRUE;
}

BOOL UpdateProgressDialog::InstallFiles()
{
    Begin(*this, Step::Install, true);
    return TRUE;
}

BOOL UpdateProgressDialog::RemoveStagingFolder(const CString& folder)
{
    Script().stagingRemoved.push_back(folder.Str());
    ++StagingRemovals();
    return TRUE;
}
