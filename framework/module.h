// The module (EXE or DLL) that this code is linked into: its resources and its path.
#pragma once

#include <windows.h>

#include <string>

HINSTANCE ThisModule();
// Its full path, as the system names it (empty when it cannot be had).
std::string ThisModulePath();
