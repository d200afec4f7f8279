// Handles that close themselves. Owned<Traits> holds one handle, closes it
// when it goes out of scope or is given another, and can be moved but not
// copied; the traits say which value means "none" and how to close.
//
//   OwnedFile file(::CreateFileW(...));   // INVALID_HANDLE_VALUE when it failed
//   if (!file) return false;
//   OwnedKey key;
//   ::RegOpenKeyExW(root, path, 0, KEY_READ, key.put());
//
// Kernel handles come in two conventions: most functions return nullptr on
// failure (OwnedHandle), CreateFile and its kin INVALID_HANDLE_VALUE
// (OwnedFile), which is also the current process's pseudo-handle. They are
// two types so that neither is compared with the other's sentinel.
// COM pointers are the platform's Microsoft::WRL::ComPtr.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>
#include <wincrypt.h>
#include <wininet.h>
#include <wrl/client.h>

namespace kvr {

template <typename Traits>
class Owned {
public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : m_handle(handle) {}
    Owned(Owned&& other) : m_handle(other.release()) {}
    Owned& operator=(Owned&& other) {
        reset(other.release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Traits::None(); }

    // Gives the handle up without closing it.
    Handle release() {
        const Handle handle = m_handle;
        m_handle = Traits::None();
        return handle;
    }
    // Closes the handle held (if any) and holds `handle` instead.
    void reset(Handle handle = Traits::None()) {
        const Handle old = m_handle;
        m_handle = handle;
        if (old != Traits::None()) Traits::Close(old);
    }
    // For a function that returns a new handle through a pointer: closes the
    // one held first.
    Handle* put() {
        reset();
        return &m_handle;
    }

private:
    Handle m_handle = Traits::None();
};

// Traits whose "none" is the handle type's zero.
template <typename H, void (*CloseFn)(H)>
struct ZeroIsNone {
    using Handle = H;
    static Handle None() { return Handle(); }
    static void Close(Handle handle) { CloseFn(handle); }
};

namespace owned_close {
inline void Kernel(HANDLE h) { ::CloseHandle(h); }
inline void Find(HANDLE h) { ::FindClose(h); }
inline void Key(HKEY h) { ::RegCloseKey(h); }
inline void Internet(HINTERNET h) { ::InternetCloseHandle(h); }
inline void UrlCacheFind(HANDLE h) { ::FindCloseUrlCache(h); }
inline void Library(HMODULE h) { ::FreeLibrary(h); }
inline void GdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void MemoryDc(HDC h) { ::DeleteDC(h); }
inline void ImageList(HIMAGELIST h) { ImageList_Destroy(h); }
inline void Menu(HMENU h) { ::DestroyMenu(h); }
inline void Local(HLOCAL h) { ::LocalFree(h); }
inline void Global(HGLOBAL h) { ::GlobalFree(h); }
inline void Bstr(BSTR h) { ::SysFreeString(h); }
inline void CryptProvider(HCRYPTPROV h) { ::CryptReleaseContext(h, 0); }
inline void CryptKey(HCRYPTKEY h) { ::CryptDestroyKey(h); }
inline void CryptHash(HCRYPTHASH h) { ::CryptDestroyHash(h); }
template <typename H>
void Gdi(H h) { GdiObject(h); }
}  // namespace owned_close

// Threads, processes, events: nullptr is none.
using OwnedHandle = Owned<ZeroIsNone<HANDLE, owned_close::Kernel>>;

// CreateFile's convention: INVALID_HANDLE_VALUE is none.
struct FileTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { ::CloseHandle(handle); }
};
using OwnedFile = Owned<FileTraits>;

// FindFirstFile's search: INVALID_HANDLE_VALUE is none, FindClose closes.
struct FindTraits : FileTraits {
    static void Close(Handle handle) { owned_close::Find(handle); }
};
using OwnedFind = Owned<FindTraits>;

using OwnedKey = Owned<ZeroIsNone<HKEY, owned_close::Key>>;
using OwnedInternet = Owned<ZeroIsNone<HINTERNET, owned_close::Internet>>;
using OwnedUrlCacheFind = Owned<ZeroIsNone<HANDLE, owned_close::UrlCacheFind>>;
using OwnedModule = Owned<ZeroIsNone<HMODULE, owned_close::Library>>;

// GDI objects. Delete one only when no device context has it selected.
template <typename H>
using OwnedGdi = Owned<ZeroIsNone<H, owned_close::Gdi<H>>>;
using OwnedBitmap = OwnedGdi<HBITMAP>;
using OwnedFont = OwnedGdi<HFONT>;
using OwnedBrush = OwnedGdi<HBRUSH>;
using OwnedRegion = OwnedGdi<HRGN>;
// A device context made by CreateCompatibleDC (DeleteDC), never one of a
// window (WindowDc below).
using OwnedMemoryDc = Owned<ZeroIsNone<HDC, owned_close::MemoryDc>>;

using OwnedImageList = Owned<ZeroIsNone<HIMAGELIST, owned_close::ImageList>>;
using OwnedMenu = Owned<ZeroIsNone<HMENU, owned_close::Menu>>;
using OwnedLocal = Owned<ZeroIsNone<HLOCAL, owned_close::Local>>;
using OwnedGlobal = Owned<ZeroIsNone<HGLOBAL, owned_close::Global>>;
using OwnedBstr = Owned<ZeroIsNone<BSTR, owned_close::Bstr>>;
using OwnedCryptProvider = Owned<ZeroIsNone<HCRYPTPROV, owned_close::CryptProvider>>;
using OwnedCryptKey = Owned<ZeroIsNone<HCRYPTKEY, owned_close::CryptKey>>;
using OwnedCryptHash = Owned<ZeroIsNone<HCRYPTHASH, owned_close::CryptHash>>;

// The device context of a window (or of the screen for nullptr), from
// GetDC, given back with ReleaseDC.
class WindowDc {
public:
    explicit WindowDc(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
    ~WindowDc() {
        if (m_dc) ::ReleaseDC(m_window, m_dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects an object into a device context and selects the previous one back
// at the end of the scope: declare it after the DC and the object, so it
// ends before they are deleted.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(::SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (m_old) ::SelectObject(m_dc, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A critical section and its scoped lock.
class CriticalSection {
public:
    CriticalSection() { ::InitializeCriticalSection(&m_section); }
    ~CriticalSection() { ::DeleteCriticalSection(&m_section); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&m_section); }
    void Leave() { ::LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~CriticalSectionLock() { m_section.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_section;
};

using Microsoft::WRL::ComPtr;

}  // namespace kvr
