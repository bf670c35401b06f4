// What DllRegisterServer and DllUnregisterServer write and remove: the type library, the
// registry rows of both classes (one table drives both directions) and the control's two
// component categories.
#pragma once

#include <windows.h>

#include <string>

HRESULT RegisterModule();
HRESULT UnregisterModule();

// A category description as the categories manager gets it: wide, at most 127 characters.
std::wstring CategoryDescription(const char* text);
