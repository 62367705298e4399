// Scoped ownership of what Win32 hands out: each guard gives its object back
// on every way out of the scope, so an early return cannot leak a pen.
#pragma once

#include <windows.h>
#include <objbase.h>

// Copying a guard would give the object back twice.
class GuardBase {
protected:
    GuardBase() = default;
    GuardBase(const GuardBase&) = delete;
    GuardBase& operator=(const GuardBase&) = delete;
};

// A kernel handle; null and INVALID_HANDLE_VALUE both mean none.
class ScopedHandle : GuardBase {
public:
    explicit ScopedHandle(HANDLE h) : h_(h) {}
    ~ScopedHandle() {
        if (Valid()) CloseHandle(h_);
    }
    bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

// A window's device context from GetDC.
class WindowDC : GuardBase {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { ReleaseDC(window_, dc_); }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A memory device context compatible with another.
class MemoryDC : GuardBase {
public:
    explicit MemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() { DeleteDC(dc_); }
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// A pen, brush, font or bitmap made for this scope.
template <class T>
class GdiObject : GuardBase {
public:
    explicit GdiObject(T object) : object_(object) {}
    ~GdiObject() { DeleteObject(object_); }
    T Get() const { return object_; }

private:
    T object_;
};

// An object selected into a device context; the one it displaced goes back.
class SelectedObject : GuardBase {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, previous_); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A COM interface pointer, released when the scope ends.
template <class T>
class ComRef : GuardBase {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    // For the calls that hand out an interface.
    void** Receive() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

// COM for this thread, for as long as the scope lasts.
class ComInit : GuardBase {
public:
    ComInit() : result_(CoInitialize(nullptr)) {}
    ~ComInit() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }

private:
    HRESULT result_;
};
