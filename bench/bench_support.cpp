#include "bench/bench_support.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

double Seconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Verdict(const char* what, bool met)
{
    std::printf("  %-60s %s\n", what, met ? "met" : "MISSED");
    return met;
}

bool TableRow(const char* figure, const std::string& value, const std::string& baseline, double ratio,
              const char* target, bool met)
{
    std::printf("@row|%s|%s|%s|%.2f|%s|%s\n", figure, value.c_str(), baseline.c_str(), ratio, target,
                met ? "met" : "MISSED");
    return met;
}

void FigureRow(const char* figure, const std::string& value, const std::string& baseline, double ratio,
               const std::string& note)
{
    std::printf("@row|%s|%s|%s|%.2f|%s|-\n", figure, value.c_str(), baseline.c_str(), ratio, note.c_str());
}

std::string Text(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// curl runs as a Unix program started through Wine.
double CurlSpeed(const std::string& url, const std::string& saveTo, const std::string& outputFile)
{
    std::string command = "\"" VEXA_CURL "\" -s -o \"" + saveTo + "\" -w \"%{speed_download}\\n\" \"" + url + "\"";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return -1;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::string program = "Z:" VEXA_CURL;
    std::replace(program.begin(), program.end(), '/', '\\');
    const BOOL started = CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(output);
    if (!started)
        return -1;
    // A Unix program started by Wine gives no handle to wait on: wait for its output.
    double speed = -1;
    for (int i = 0; i < 600 && speed < 0; ++i) {
        Sleep(100);
        HANDLE in = CreateFileA(outputFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        if (in == INVALID_HANDLE_VALUE)
            continue;
        char text[64] = {};
        DWORD got = 0;
        ReadFile(in, text, sizeof text - 1, &got, nullptr);
        CloseHandle(in);
        if (got > 0 && std::strchr(text, '\n'))
            speed = std::atof(text);
    }
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    return speed;
}
