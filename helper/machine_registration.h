// Where the machine's registration puts a class's in-process server.
#pragma once

#include <windows.h>

#include <string>

// The server's path from HKEY_LOCAL_MACHINE\Software\Classes; empty when it is not there.
// Never the merged HKEY_CLASSES_ROOT view: a standard user can shadow that in
// HKCU\Software\Classes, and the helper runs elevated.
std::string MachineRegisteredServer(const GUID& clsid);
