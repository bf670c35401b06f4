// The installation steps, for programs that test the steps before them: a run that gets
// as far as installing stops there.
#include "ui/progress_dialog.h"

BOOL UpdateProgressDialog::InstallFiles() { return FALSE; }
void UpdateProgressDialog::RemoveStagingFolder(const CString&) {}
