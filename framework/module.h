// The module (EXE or DLL) that this code is linked into: its resources and its path.
#pragma once

#include <windows.h>

HINSTANCE ThisModule();
