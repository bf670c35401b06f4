// Files for the tests that work on disk: scratch folders and files, the fixture programs
// and modules built with the tests, and another process holding a file open.
#pragma once

#include <windows.h>

#include <string>

// A fresh, empty folder under the temporary folder, named after the process and name
// (not created).
std::string ScratchFolder(const std::string& name);
// Writes bytes as the whole content of a new or truncated file.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
bool IsFolder(const std::string& path);

// The fixture of that name, in "fixtures" beside the running test program.
std::string FixturePath(const std::string& name);

// Another process (share_holder.exe) holding a file open for reading, sharing nothing
// ("none") or reading only ("read"), until the object goes.
class FileHolder {
public:
    FileHolder(const std::string& path, const char* share);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    bool Holding() const { return m_holding; }

private:
    HANDLE m_ready = nullptr;
    HANDLE m_release = nullptr;
    HANDLE m_process = nullptr;
    bool m_holding = false;
};
