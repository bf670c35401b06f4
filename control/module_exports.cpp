// The module's four exports, over its class table.
#include <windows.h>
#include <ole2.h>

#include "trust/module_ids.h"
#include "control/registration.h"
#include "control/vexa_updater_ctrl.h"
#include "control/vexa_updater_proppage.h"
#include "framework/com_module.h"
#include "framework/internet.h"

namespace {

const ClassEntry kClasses[] = {
    {&CLSID_VexaUpdater, &CVexaUpdaterCtrl::Create},
    {&CLSID_VexaUpdaterPropPage, &CVexaUpdaterPropPage::Create},
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out)
{
    return GetClassObjectFromTable(kClasses, clsid, riid, out);
}

STDAPI DllCanUnloadNow()
{
    // A request given up at its deadline may still report to this module's callback.
    return ModuleLockCount() == 0 && LiveRequestStates() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    return RegisterModule();
}

STDAPI DllUnregisterServer()
{
    return UnregisterModule();
}
