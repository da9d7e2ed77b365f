// RAII owners for GDI objects: device contexts, bitmaps, brushes, fonts and
// the selection of an object into a context. Each is released on every path.
#pragma once

#include <windows.h>

#include <utility>

#include "app/runtime/handles_win32.h"

namespace kadrovix::win32 {

// A context from CreateCompatibleDC / CreateDC, freed with DeleteDC.
struct DcTraits {
    using handle_type = HDC;
    static HDC invalid() { return nullptr; }
    static bool valid(HDC h) { return h != nullptr; }
    static void close(HDC h) { ::DeleteDC(h); }
};
using UniqueDc = BasicHandle<DcTraits>;

// Bitmaps, brushes, pens, fonts, regions: freed with DeleteObject. Select
// them out of any context (SelectedObject does that) before this runs.
template <class H>
struct GdiObjectTraits {
    using handle_type = H;
    static H invalid() { return nullptr; }
    static bool valid(H h) { return h != nullptr; }
    static void close(H h) { ::DeleteObject(h); }
};
using UniqueBitmap = BasicHandle<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = BasicHandle<GdiObjectTraits<HBRUSH>>;
using UniqueFont = BasicHandle<GdiObjectTraits<HFONT>>;
using UniquePen = BasicHandle<GdiObjectTraits<HPEN>>;
using UniqueRegion = BasicHandle<GdiObjectTraits<HRGN>>;

// A context from GetDC / GetWindowDC, given back with ReleaseDC to the window
// it came from (null for the screen).
class WindowDc {
public:
    WindowDc() = default;
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    WindowDc(WindowDc&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDc& operator=(WindowDc&& other) noexcept {
        if (this != &other) {
            reset();
            window_ = std::exchange(other.window_, nullptr);
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    ~WindowDc() { reset(); }

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void reset() {
        if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
        dc_ = nullptr;
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// Selects an object into a context and puts the previous one back when it
// goes out of scope. Declare it after the owners of the context and the
// object, so that it is undone before either is deleted.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (ok()) ::SelectObject(dc_, previous_);
    }
    // SelectObject reports failure as null (or HGDI_ERROR for regions).
    bool ok() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace kadrovix::win32
