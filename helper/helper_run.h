// VexaEx.exe: the update run for the systems on which the control hands over (NT 6 and
// later). Arguments: LIST-URL DATA-URL [TITLE], each the Base64 of the control's text in
// its code page; an empty title leaves the third argument out. A locked build holds the
// same sites as the control it ships with and judges every URL and redirect by them.
#pragma once

// Its exit codes (HelperExit) are in the product's code table.
#include "engine/codes.h"

int RunHelper(int argc, char** argv);
