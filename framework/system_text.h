// The system's message text for an error code.
#pragma once

#include <windows.h>

#include "framework/narrow_string.h"

// The text from the system message table (and from source's table first, when given),
// default language, no inserts, trailing white space removed; empty when there is none.
CString SystemMessageText(DWORD error, HMODULE source = nullptr);
