// VexaEx.exe: started by the control with the three texts of an update run.
#include <windows.h>

#include <cstdlib>

#include "helper/helper_run.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return RunHelper(__argc, __argv);
}
