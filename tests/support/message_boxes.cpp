#include "tests/support/message_boxes.h"

#include <algorithm>

namespace {

// The controls of a message box: its text and its icon.
constexpr int kTextId = 0xFFFF;

struct Found {
    const std::vector<HWND>* handled;
    HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    auto* found = reinterpret_cast<Found*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    // A dialog with a message box's text control; the progress window has none.
    if (lstrcmpA(className, "#32770") != 0 || !GetDlgItem(window, kTextId))
        return TRUE;
    if (std::find(found->handled->begin(), found->handled->end(), window) != found->handled->end())
        return TRUE;
    found->box = window;
    return FALSE;
}

std::string WindowText(HWND window)
{
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window, &text[0], length + 1)));
    return text;
}

}  // namespace

BoxAnswerer::BoxAnswerer(std::vector<BoxAnswer> answers) : m_answers(std::move(answers))
{
    m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = CreateThread(nullptr, 0, &BoxAnswerer::Watch, this, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer() { Finish(); }

std::vector<SeenBox> BoxAnswerer::Finish()
{
    if (m_thread) {
        SetEvent(m_stop);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_stop) {
        CloseHandle(m_stop);
        m_stop = nullptr;
    }
    return m_seen;
}

DWORD WINAPI BoxAnswerer::Watch(LPVOID param)
{
    auto* self = static_cast<BoxAnswerer*>(param);
    while (WaitForSingleObject(self->m_stop, 50) == WAIT_TIMEOUT) {
        Found found = {&self->m_handled, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&found));
        if (found.box)
            self->Handle(found.box);
    }
    return 0;
}

void BoxAnswerer::Handle(HWND box)
{
    // Let it finish laying itself out before it is read.
    Sleep(100);
    SeenBox seen;
    seen.caption = WindowText(box);
    seen.text = WindowText(GetDlgItem(box, kTextId));
    seen.yes = GetDlgItem(box, IDYES) != nullptr;
    seen.no = GetDlgItem(box, IDNO) != nullptr;
    seen.ok = GetDlgItem(box, IDOK) != nullptr;
    seen.cancel = GetDlgItem(box, IDCANCEL) != nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            seen.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    }
    seen.owner = GetWindow(box, GW_OWNER);

    int button = 0;
    if (m_next < m_answers.size() && m_answers[m_next].caption == seen.caption) {
        seen.expected = true;
        button = m_answers[m_next++].button;
    } else {
        button = seen.no ? IDNO : seen.cancel ? IDCANCEL : IDOK;
    }
    seen.pressed = button;
    m_seen.push_back(seen);
    m_handled.push_back(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

HICON QuestionIcon() { return LoadIconA(nullptr, IDI_QUESTION); }
HICON InformationIcon() { return LoadIconA(nullptr, IDI_INFORMATION); }
HICON WarningIcon() { return LoadIconA(nullptr, IDI_WARNING); }
HICON ErrorIcon() { return LoadIconA(nullptr, IDI_ERROR); }

std::string Describe(const SeenBox& box)
{
    std::string text = "box \"" + box.caption + "\": \"" + box.text + "\" buttons";
    if (box.yes)
        text += " yes";
    if (box.no)
        text += " no";
    if (box.ok)
        text += " ok";
    if (box.cancel)
        text += " cancel";
    return text + (box.expected ? "" : " (unexpected)");
}
