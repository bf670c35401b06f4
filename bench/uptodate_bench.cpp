// The common case, every visit to the payment page: a run that finds all of its 1,000
// installed modules current. Against a baseline, in the same run, that makes only the same
// HTTP requests (the probe and the fetch of the list) and the same bare file and
// version-resource calls per module.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "tests/support/test_server.h"
#include "ui/progress_dialog.h"

namespace {

constexpr int kFiles = 1000;

std::string ModuleFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
    std::string folder = path;
    return folder.substr(0, folder.rfind('\\'));
}

// The two requests of the list step, done with bare WinINet calls.
bool FetchTwice(const std::string& url)
{
    HINTERNET session = InternetOpenA("Updater", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session)
        return false;
    bool ok = true;
    for (int pass = 0; pass < 2 && ok; ++pass) {
        HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
        ok = request != nullptr;
        if (ok && pass == 1) {
            char buffer[65536];
            DWORD got = 0;
            while (InternetReadFile(request, buffer, sizeof buffer, &got) && got) {
            }
        }
        if (request)
            InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return ok;
}

// What the version check asks of one installed module, and nothing else.
bool BareVersionCalls(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::string block(size, '\0');
    void* value = nullptr;
    UINT length = 0;
    return size && GetFileVersionInfoA(path.c_str(), 0, size, &block[0]) &&
           VerQueryValueA(&block[0], "\\VarFileInfo\\Translation", &value, &length) &&
           VerQueryValueA(&block[0], "\\", &value, &length);
}

}  // namespace

int main()
{
    std::printf("An up-to-date run over %d installed modules (best of 3)\n", kFiles);
    TestServer server;
    if (!server.Start()) {
        std::printf("  the test server does not start: %s\n", server.Error().c_str());
        return 2;
    }
    // A small module with a version resource, installed 1,000 times.
    const std::string module = ModuleFolder() + "\\..\\tests\\fixtures\\versioned_1_0_3_2.dll";
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "vexa-uptodate-bench";
    RemoveFolderTree(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string list = "[FILE PATH]\r\nInstall=" + folder + "\r\n[UPDATE FILES]\r\n";
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "module" + std::to_string(i) + ".dll";
        paths.push_back(folder + "\\" + name);
        if (!CopyFileA(module.c_str(), paths.back().c_str(), FALSE)) {
            std::printf("  cannot install %s from %s (build the tests' fixtures first)\n", name.c_str(), module.c_str());
            return 2;
        }
        list += "%App Path%\\" + name + "|1.0.3.2|12345|2026-12-01 10:30:00\r\n";
    }
    server.PutFile("list.txt", list);
    const std::string url = server.HttpUrl("/list.txt");

    double run = 1e9, baseline = 1e9;
    for (int r = 0; r < 3; ++r) {
        UpdateProgressDialog dialog;
        dialog.m_listUrl = url.c_str();
        dialog.m_dataUrl = server.HttpUrl("/files").c_str();
        double start = Seconds();
        const INT_PTR end = dialog.DoModal();
        run = std::min(run, Seconds() - start);
        if (end != IDOK || dialog.m_runState != UpToDate) {
            std::printf("  the run did not find everything current (state %d, error %d)\n", dialog.m_runState,
                        dialog.m_lastErrorCode);
            return 2;
        }
        start = Seconds();
        bool ok = FetchTwice(url);
        for (const std::string& path : paths)
            ok = BareVersionCalls(path) && ok;
        baseline = std::min(baseline, Seconds() - start);
        if (!ok) {
            std::printf("  the baseline's calls failed\n");
            return 2;
        }
    }
    RemoveFolderTree(folder);
    std::printf("  the whole run (window, worker, list, check)  %8.3f s  (%.2f ms per module)\n", run, run / kFiles * 1e3);
    std::printf("  the same requests and bare calls             %8.3f s  (%.2f ms per module)\n", baseline,
                baseline / kFiles * 1e3);
    std::printf("  run / baseline: %.2f\n", run / baseline);
    const bool met = Verdict("the up-to-date run within 1.2 x its bare calls", run <= 1.2 * baseline);
    TableRow("up-to-date run, 1,000 modules", Text("%.3f s", run), Text("bare calls %.3f s", baseline),
             run / baseline, "<= 1.2", met);
    return met ? 0 : 1;
}
