#include "helper/helper_run.h"

#include <windows.h>

#include <string>
#include <vector>

#include "engine/data_url.h"
#include "engine/module_build.h"
#include "helper/machine_registration.h"
#include "trust/base64.h"
#include "trust/module_ids.h"
#include "trust/site_lock.h"
#include "trust/trusted_sites.h"
#include "ui/progress_dialog.h"

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
    const std::string control = MachineRegisteredServer(CLSID_VexaUpdater);
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
    ApplyModuleBuild(dialog, true);
    if (dialog.DoModal() != IDOK)
        return kHelperNoWindow;
    RunReport report = dialog.Outcome();
    dialog.LogRunEnd(report);
    dialog.SendOutcomeReport(report);
    const int exit = dialog.m_runState != Completed && dialog.m_runState != UpToDate ? kHelperStopped
                     : dialog.m_filesInstalled == dialog.m_filesToUpdate             ? kHelperInstalled
                                                                                      : kHelperNotAllInstalled;
    // For the control that waits for this run: the page reads the whole report.
    report.helperExit = exit;
    KeepHelperReport(RunReportJson(report));
    return exit;
}
