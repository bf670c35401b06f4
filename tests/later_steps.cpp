// The steps after the list, for programs that test the list steps: the run stops at the
// version check, with a code the tests can tell from the list steps' own.
#include "ui/progress_dialog.h"

constexpr int kStoppedAfterList = 99;

BOOL UpdateProgressDialog::CheckVersions()
{
    ClearLastError();
    m_lastErrorCode = kStoppedAfterList;
    return FALSE;
}

BOOL UpdateProgressDialog::InstallFiles() { return FALSE; }
void UpdateProgressDialog::RemoveStagingFolder(const CString&) {}
