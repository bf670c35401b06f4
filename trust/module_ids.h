// The module's own identifiers, fixed for the life of the product. res/VexaUpdater.idl
// states the same values; the tests check that the type library agrees.
#pragma once

#include <windows.h>

extern const GUID LIBID_VEXAUPDATERLib;  // the type library
extern const GUID DIID__DVexaUpdater;  // the script methods' dispatch interface
extern const GUID DIID__DVexaUpdaterEvents;  // the event dispatch interface (no events)
extern const GUID CLSID_VexaUpdater;  // the control
extern const GUID CLSID_VexaUpdaterPropPage;  // its property page

// The published component categories "safe for scripting" and "safe for initializing".
extern const GUID kCatidSafeForScripting;
extern const GUID kCatidSafeForInitializing;

#include <string>

// A GUID as the registry writes it: "{XXXXXXXX-...}", in the ANSI code page.
std::string GuidText(const GUID& guid);
