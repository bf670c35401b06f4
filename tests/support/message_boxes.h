// Answers the message boxes that this process shows, through the real window system: a
// background thread finds each box as it appears, records what it shows and presses a
// button, so a run that asks questions can be driven and checked from a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SeenBox {
    std::string caption;
    std::string text;
    bool yes = false;  // which buttons it has
    bool no = false;
    bool ok = false;
    bool cancel = false;
    HICON icon = nullptr;
    HWND owner = nullptr;
    int pressed = 0;        // the button pressed
    bool expected = false;  // it was the box the next answer was for
};

struct BoxAnswer {
    std::string caption;
    int button;  // IDYES, IDNO, IDOK
};

class BoxAnswerer {
public:
    // Answers boxes in the order given. A box whose caption is not the next answer's is
    // recorded as unexpected and closed with No, Cancel or OK, so a run never hangs on it.
    explicit BoxAnswerer(std::vector<BoxAnswer> answers);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // Stops watching and gives every box seen, in order.
    std::vector<SeenBox> Finish();

private:
    static DWORD WINAPI Watch(LPVOID self);
    void Handle(HWND box);

    std::vector<BoxAnswer> m_answers;
    size_t m_next = 0;
    std::vector<SeenBox> m_seen;
    std::vector<HWND> m_handled;
    HANDLE m_stop = nullptr;
    HANDLE m_thread = nullptr;
};

// The shared icons of the standard message box kinds.
HICON QuestionIcon();
HICON InformationIcon();
HICON WarningIcon();
HICON ErrorIcon();

// A short description of a box for assertion messages.
std::string Describe(const SeenBox& box);
