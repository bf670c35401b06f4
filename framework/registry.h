// Registry keys and text values, read as hostile: a value of another type, or longer than
// its reader allows, counts as absent.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

// The key opened (or, for writing, created) with that access; invalid when it cannot be.
RegKey OpenRegKey(HKEY root, const std::string& path, REGSAM access);
RegKey CreateRegKey(HKEY root, const std::string& path, REGSAM access);

// A REG_SZ value of at most `most` bytes, its terminator included, up to its first NUL;
// empty when missing, of another type or longer.
std::string ReadRegText(HKEY key, const char* name, DWORD most);
bool WriteRegText(HKEY key, const char* name, const std::string& text);
