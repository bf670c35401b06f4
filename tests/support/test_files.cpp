#include "tests/support/test_files.h"

#include "tests/support/test_server.h"

std::string ScratchFolder(const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string leaf = name;  // a parameterised test's name holds '/'
    for (char& c : leaf)
        c = c == '/' ? '-' : c;
    const std::string folder = std::string(temp) + "vexa-" + std::to_string(GetCurrentProcessId()) + "-" + leaf;
    RemoveFolderTree(folder);
    return folder;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FixturePath(const std::string& name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\')) + "\\fixtures\\" + name;
}

FileHolder::FileHolder(const std::string& path, const char* share)
{
    static int serial = 0;
    const std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
    const std::string readyName = "vexa_ready_" + tag, releaseName = "vexa_release_" + tag;
    m_ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
    m_release = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
    std::string command = "\"" + FixturePath("share_holder.exe") + "\" \"" + path + "\" " + share + " " +
                          readyName + " " + releaseName;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    m_process = process.hProcess;
    const HANDLE waits[] = {m_ready, m_process};
    m_holding = WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
}

FileHolder::~FileHolder()
{
    SetEvent(m_release);
    if (m_process) {
        WaitForSingleObject(m_process, 20000);
        CloseHandle(m_process);
    }
    CloseHandle(m_release);
    CloseHandle(m_ready);
}
