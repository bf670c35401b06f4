#include "framework/narrow_string.h"

#include <cstdarg>
#include <cstdio>

#include "framework/mbcs.h"

namespace {

int ToIndex(size_t pos) { return pos == kNotFound ? -1 : static_cast<int>(pos); }

size_t Clamp(int value, size_t limit)
{
    if (value < 0)
        return 0;
    return static_cast<size_t>(value) > limit ? limit : static_cast<size_t>(value);
}

}  // namespace

int CString::Find(char ch, int start) const
{
    return Find(std::string(1, ch).c_str(), start);
}

int CString::Find(const char* text, int start) const
{
    if (start < 0 || static_cast<size_t>(start) > m_text.size())
        return -1;
    return ToIndex(MbFind(m_text, text ? text : "", static_cast<size_t>(start)));
}

int CString::ReverseFind(char ch) const { return ToIndex(MbReverseFind(m_text, ch)); }

CString CString::Left(int count) const { return CString(m_text.substr(0, Clamp(count, m_text.size()))); }

CString CString::Mid(int first) const
{
    return CString(m_text.substr(Clamp(first, m_text.size())));
}

CString CString::Mid(int first, int count) const
{
    const size_t from = Clamp(first, m_text.size());
    return CString(m_text.substr(from, Clamp(count, m_text.size() - from)));
}

CString CString::Right(int count) const
{
    const size_t n = Clamp(count, m_text.size());
    return CString(m_text.substr(m_text.size() - n));
}

CString& CString::TrimLeft() { m_text = std::string(MbTrim(m_text, kWhitespace, true, false)); return *this; }
CString& CString::TrimRight() { m_text = std::string(MbTrim(m_text, kWhitespace, false, true)); return *this; }
CString& CString::Trim() { m_text = std::string(MbTrim(m_text, kWhitespace, true, true)); return *this; }

CString& CString::TrimLeft(char ch)
{
    m_text = std::string(MbTrim(m_text, std::string_view(&ch, 1), true, false));
    return *this;
}

CString& CString::TrimRight(char ch)
{
    m_text = std::string(MbTrim(m_text, std::string_view(&ch, 1), false, true));
    return *this;
}

CString& CString::Trim(char ch)
{
    m_text = std::string(MbTrim(m_text, std::string_view(&ch, 1), true, true));
    return *this;
}

int CString::Replace(const char* from, const char* to)
{
    int count = 0;
    m_text = MbReplace(m_text, from ? from : "", to ? to : "", &count);
    return count;
}

int CString::Remove(char ch)
{
    int count = 0;
    m_text = MbRemove(m_text, ch, &count);
    return count;
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        m_text.clear();
    } else {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(&text[0], text.size(), format, args);
        text.resize(static_cast<size_t>(length));
        m_text = std::move(text);
    }
    va_end(args);
}
