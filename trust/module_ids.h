// The module's identity: its name and ids, fixed when it is built from an identity file (the
// CMake cache variable VEXA_IDENTITY; empty: the development identity, res/development.identity).
// Each operator's releases carry their own, so that two operators' controls never share a
// file, a registration or a registry key. The type library states the same ids; the tests
// check that it agrees.
#pragma once

#include <windows.h>

#include <string>

extern const GUID LIBID_VEXAUPDATERLib;  // the type library
extern const GUID DIID__DVexaUpdater;  // the script methods' dispatch interface
extern const GUID DIID__DVexaUpdaterEvents;  // the event dispatch interface (no events)
extern const GUID CLSID_VexaUpdater;  // the control
extern const GUID CLSID_VexaUpdaterPropPage;  // its property page

struct ModuleIdentity {
    const char* name;        // NAME: the control file NAME.ocx, registry keys and names
    const char* progId;      // NAME.VexaUpdaterCtrl.1
    const char* helperFile;  // NAMEEx.exe, in the system folder
};
const ModuleIdentity& Identity();

#include "trust/identity_record.h"

// The published component categories "safe for scripting" and "safe for initializing".
extern const GUID kCatidSafeForScripting;
extern const GUID kCatidSafeForInitializing;

// A GUID as the registry writes it: "{XXXXXXXX-...}", in the ANSI code page.
std::string GuidText(const GUID& guid);
