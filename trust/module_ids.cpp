#include "trust/module_ids.h"

#include <ole2.h>

// The identity's own ids are generated per module by the build.
const GUID kCatidSafeForScripting = {0x7dd95801, 0x9882, 0x11cf, {0x9f, 0xa9, 0x00, 0xaa, 0x00, 0x6c, 0x42, 0xc4}};
const GUID kCatidSafeForInitializing = {0x7dd95802, 0x9882, 0x11cf, {0x9f, 0xa9, 0x00, 0xaa, 0x00, 0x6c, 0x42, 0xc4}};

std::string GuidText(const GUID& guid)
{
    wchar_t wide[40] = {};
    StringFromGUID2(guid, wide, 40);
    char narrow[40] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow), nullptr, nullptr);
    return narrow;
}
