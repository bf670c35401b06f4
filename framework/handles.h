// Move-only owners of Windows handles. The invalid value is part of each type, and
// closing a handle keeps the thread's last-error value, so that a failing call can be
// cleaned up after before its error is read.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>

#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : m_handle(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const { return m_handle; }
    bool IsValid() const { return m_handle != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    Type Release()
    {
        Type handle = m_handle;
        m_handle = Traits::Invalid();
        return handle;
    }
    void Reset(Type handle = Traits::Invalid())
    {
        if (handle == m_handle)
            return;
        Close();
        m_handle = handle;
    }
    void Close()
    {
        if (!IsValid())
            return;
        const DWORD error = GetLastError();
        Traits::Close(m_handle);
        SetLastError(error);
        m_handle = Traits::Invalid();
    }

private:
    Type m_handle = Traits::Invalid();
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct KernelHandleTraits {  // threads, processes, events: null when invalid
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { FindClose(h); }
};
struct LibraryHandleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};
struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { InternetCloseHandle(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct CryptProviderTraits {
    using Type = HCRYPTPROV;
    static Type Invalid() { return 0; }
    static void Close(Type h) { CryptReleaseContext(h, 0); }
};
struct CryptKeyTraits {
    using Type = HCRYPTKEY;
    static Type Invalid() { return 0; }
    static void Close(Type h) { CryptDestroyKey(h); }
};
struct CryptHashTraits {
    using Type = HCRYPTHASH;
    static Type Invalid() { return 0; }
    static void Close(Type h) { CryptDestroyHash(h); }
};
template <typename GdiType>
struct GdiObjectTraits {
    using Type = GdiType;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};
struct MemoryDcTraits {  // from CreateCompatibleDC / CreateDC
    using Type = HDC;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { DeleteDC(h); }
};

using FileHandle = UniqueHandle<FileHandleTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using LibraryHandle = UniqueHandle<LibraryHandleTraits>;
using InternetHandle = UniqueHandle<InternetHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using MemoryDc = UniqueHandle<MemoryDcTraits>;
// CryptoAPI: a key or hash is closed before the provider it was made with.
using CryptProvider = UniqueHandle<CryptProviderTraits>;
using CryptKey = UniqueHandle<CryptKeyTraits>;
using CryptHash = UniqueHandle<CryptHashTraits>;

// GDI object wrappers: each deletes the object it holds when it is reset or destroyed.
using CBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using CFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using CRgn = UniqueHandle<GdiObjectTraits<HRGN>>;

// A window's device context from GetDC, released with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDc() { Release(); }
    WindowDc(WindowDc&& other) noexcept : m_window(other.m_window), m_dc(other.m_dc) { other.m_dc = nullptr; }
    WindowDc& operator=(WindowDc&& other) noexcept
    {
        if (this != &other) {
            Release();
            m_window = other.m_window;
            m_dc = other.m_dc;
            other.m_dc = nullptr;
        }
        return *this;
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    void Release()
    {
        if (!m_dc)
            return;
        const DWORD error = GetLastError();
        ReleaseDC(m_window, m_dc);
        SetLastError(error);
        m_dc = nullptr;
    }

    HWND m_window;
    HDC m_dc;
};

// Selects an object into a DC and selects the previous one back when it goes away.
class SelectionRestore {
public:
    SelectionRestore(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~SelectionRestore() { Restore(); }
    SelectionRestore(SelectionRestore&& other) noexcept : m_dc(other.m_dc), m_previous(other.m_previous) { other.m_previous = nullptr; }
    SelectionRestore& operator=(SelectionRestore&& other) noexcept
    {
        if (this != &other) {
            Restore();
            m_dc = other.m_dc;
            m_previous = other.m_previous;
            other.m_previous = nullptr;
        }
        return *this;
    }
    SelectionRestore(const SelectionRestore&) = delete;
    SelectionRestore& operator=(const SelectionRestore&) = delete;

    bool Selected() const { return m_previous != nullptr && m_previous != HGDI_ERROR; }

private:
    void Restore()
    {
        if (!Selected())
            return;
        const DWORD error = GetLastError();
        SelectObject(m_dc, m_previous);
        SetLastError(error);
        m_previous = nullptr;
    }

    HDC m_dc;
    HGDIOBJ m_previous;
};

// BeginPaint / EndPaint for one WM_PAINT (or a direct paint of the pending update area).
class PaintDc {
public:
    explicit PaintDc(HWND window) : m_window(window) { m_dc = BeginPaint(window, &m_paint); }
    ~PaintDc()
    {
        if (m_dc)
            EndPaint(m_window, &m_paint);
    }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc;
};
