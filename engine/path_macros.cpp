// Folders of the install: the control module's own folder.
#include "framework/module.h"
#include "ui/progress_dialog.h"

CString UpdateProgressDialog::GetModuleFolder()
{
    char path[1024] = {};
    // One byte short of the buffer: a cut path stays terminated.
    GetModuleFileNameA(ThisModule(), path, sizeof(path) - 1);
    const CString full(path);
    const int slash = full.ReverseFind('\\');
    m_moduleName = full.Mid(slash + 1);
    return slash < 0 ? CString() : full.Left(slash);
}
