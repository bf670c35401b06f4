// CString: a narrow byte string in the process's ANSI code page.
// Searches, trimming and replacing are multibyte-aware (see mbcs.h).
#pragma once

#include <string>
#include <string_view>

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit, as string literals flow everywhere
    CString(const char* text, int length) : m_text(text, length > 0 ? length : 0) {}
    CString(std::string text) : m_text(std::move(text)) {}  // NOLINT

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }  // keeps the storage for the next text
    void Preallocate(int length) { m_text.reserve(length > 0 ? static_cast<size_t>(length) : 0); }
    void Append(const char* text, int length) { m_text.append(text, length > 0 ? static_cast<size_t>(length) : 0); }
    const char* GetString() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }  // NOLINT
    std::string_view View() const { return m_text; }
    const std::string& Str() const { return m_text; }
    // The storage itself, for rewriting a long text in place instead of copying it.
    std::string* Buffer() { return &m_text; }
    char GetAt(int index) const { return m_text[static_cast<size_t>(index)]; }

    CString& operator+=(const CString& other) { m_text += other.m_text; return *this; }
    CString& operator+=(const char* other) { m_text += other ? other : ""; return *this; }
    CString& operator+=(char ch) { m_text += ch; return *this; }
    friend CString operator+(CString left, const CString& right) { return left += right; }
    friend CString operator+(CString left, const char* right) { return left += right; }
    friend CString operator+(const char* left, const CString& right) { return CString(left) += right; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }

    // Byte position of the first match at or after start (a character boundary), or -1.
    int Find(char ch, int start = 0) const;
    int Find(const char* text, int start = 0) const;
    // Byte position of the last single-byte character ch, or -1.
    int ReverseFind(char ch) const;

    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;

    // Without an argument: whitespace (space, tab, CR, LF, VT, FF).
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();
    CString& TrimLeft(char ch);
    CString& TrimRight(char ch);
    CString& Trim(char ch);

    // Number of occurrences replaced / removed.
    int Replace(const char* from, const char* to);
    int Remove(char ch);

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    std::string m_text;
};
