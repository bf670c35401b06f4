#include "framework/module.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::string ThisModulePath()
{
    char path[1024] = {};
    // One byte short of the buffer: a cut path stays terminated.
    GetModuleFileNameA(ThisModule(), path, sizeof(path) - 1);
    return path;
}
