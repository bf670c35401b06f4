#include "framework/system_text.h"

CString SystemMessageText(DWORD error, HMODULE source)
{
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    if (source)
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
    // Allocated: no message is too long for it.
    char* text = nullptr;
    const DWORD length = FormatMessageA(flags, source, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 || !text)
        return CString();
    CString message(text);
    LocalFree(text);
    message.TrimRight();
    return message;
}
