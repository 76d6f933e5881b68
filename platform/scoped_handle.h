// Owners for the handles the program holds for a while: each one gives its
// handle back however the scope is left, so no error path leaks one.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <utility>

namespace platform {

// One handle of a kind that Traits names: its empty value and how it is let go.
template <class Traits>
class Scoped {
public:
    using Type = typename Traits::Type;

    Scoped() = default;
    explicit Scoped(Type handle) : handle_(handle) {}
    ~Scoped() { Reset(); }
    Scoped(Scoped&& other) noexcept : handle_(other.Release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    Type Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Empty(); }
    // For an API that hands a new handle out through a pointer.
    Type* Put() {
        Reset();
        return &handle_;
    }
    Type Release() { return std::exchange(handle_, Traits::Empty()); }
    void Reset(Type handle = Traits::Empty()) {
        if (handle_ != Traits::Empty())
            Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Type handle_ = Traits::Empty();
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { CloseHandle(handle); }
};
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type handle) { CloseHandle(handle); }
};
struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static void Close(Type key) { RegCloseKey(key); }
};
template <class T>
struct GdiObjectTraits {
    using Type = T;
    static Type Empty() { return nullptr; }
    static void Close(Type object) { DeleteObject(object); }
};
struct MemoryDcTraits {
    using Type = HDC;
    static Type Empty() { return nullptr; }
    static void Close(Type dc) { DeleteDC(dc); }
};
struct FindTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type search) { FindClose(search); }
};
struct IconTraits {
    using Type = HICON;
    static Type Empty() { return nullptr; }
    static void Close(Type icon) { DestroyIcon(icon); }
};

// A file from CreateFile (empty is INVALID_HANDLE_VALUE).
using ScopedFile = Scoped<FileHandleTraits>;
// A process, thread or other kernel object (empty is null).
using ScopedHandle = Scoped<KernelHandleTraits>;
using ScopedKey = Scoped<RegistryKeyTraits>;
template <class T>
using ScopedGdi = Scoped<GdiObjectTraits<T>>;
using ScopedMemoryDc = Scoped<MemoryDcTraits>;
// A directory search from FindFirstFile (empty is INVALID_HANDLE_VALUE).
using ScopedFind = Scoped<FindTraits>;
using ScopedIcon = Scoped<IconTraits>;

// A window's DC (or the screen's, for a null window), released on leaving.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_ != nullptr)
            ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// The DC to draw on in a window procedure: the window's own while it paints,
// or the one that WM_PRINTCLIENT hands over.
class PaintDc {
public:
    PaintDc(HWND hwnd, UINT msg, WPARAM wParam) : hwnd_(hwnd), painting_(msg == WM_PAINT) {
        dc_ = painting_ ? BeginPaint(hwnd, &ps_) : reinterpret_cast<HDC>(wParam);
    }
    ~PaintDc() {
        if (painting_)
            EndPaint(hwnd_, &ps_);
    }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    bool painting_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// An object selected into a DC until the scope ends, when the one it
// replaced goes back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A COM interface pointer, released on leaving.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Put() {
        Reset();
        return &p_;
    }
    // For the creators that take a void**.
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (p_ != nullptr)
            p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// COM on this thread in the single-threaded apartment, for the scope's
// lifetime, without the old OLE 1 DDE (as the shell asks of its callers). A
// thread that already runs COM in the other model is fine as it is, and then
// nothing is undone.
class ComApartment {
public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    // The initialisation's result when COM cannot be used, else S_OK.
    HRESULT Failed() const { return FAILED(hr_) && hr_ != RPC_E_CHANGED_MODE ? hr_ : S_OK; }

private:
    HRESULT hr_;
};

}  // namespace platform
