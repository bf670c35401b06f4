#include "helper/helper_run.h"

#include <windows.h>

#include <string>
#include <vector>

#include "control/control_text.h"
#include "control/guids.h"
#include "control/site_lock.h"
#include "control/trusted_sites.h"
#include "ui/progress_dialog.h"

namespace {

// The control module's path as the machine's registration gives it. Never the merged
// HKEY_CLASSES_ROOT view: a standard user can shadow that in HKCU\Software\Classes, and
// this program runs elevated.
std::string RegisteredControlPath()
{
    const std::string path = "Software\\Classes\\CLSID\\" + GuidText(CLSID_VexaUpdater) + "\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    char value[MAX_PATH] = {};
    DWORD size = sizeof(value) - 1, type = 0;
    const LONG read = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::string();
    return value;
}

}  // namespace

int RunHelper(int argc, char** argv)
{
    if (argc != 3 && argc != 4)
        return kHelperUsage;
    std::string list, data, title;
    if (!Base64Decode(argv[1], &list) || !Base64Decode(argv[2], &data) || (argc == 4 && !Base64Decode(argv[3], &title)))
        return kHelperBadArgument;
    if (list.empty() || data.empty())
        return kHelperBadArgument;
    // The control's own policy: a locked build runs only for its sites.
    const std::vector<std::string>& sites = TrustedSites();
    if (!sites.empty() && (!SiteIsTrusted(list, sites) || !SiteIsTrusted(data, sites)))
        return kHelperUntrusted;
    const std::string control = RegisteredControlPath();
    if (control.empty() || control.find('\\') == std::string::npos)
        return kHelperNoControl;

    // The same run as the control's on NT 5: the same texts and decisions, the same window;
    // only the module folder is the control's, and it never hands over again.
    UpdateProgressDialog dialog;
    dialog.m_title = title;
    dialog.m_listUrl = list;
    dialog.m_dataUrl = DataUrlForDialog(data);
    dialog.m_controlModulePath = control;
    dialog.m_mayHandOver = FALSE;
    ApplyModuleBuild(dialog);
    if (dialog.DoModal() != IDOK)
        return kHelperNoWindow;
    if (dialog.m_runState != Completed && dialog.m_runState != UpToDate)
        return kHelperStopped;
    return dialog.m_filesInstalled == dialog.m_filesToUpdate ? kHelperInstalled : kHelperNotAllInstalled;
}
