// COM for the calling thread for one scope: initialised as a single-threaded
// apartment and uninitialised on every path out, for worker threads that use
// WIC or the shell, and for the UI thread.
#pragma once

#include <objbase.h>
#include <windows.h>

namespace kadrovix::win32 {

class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        // S_FALSE (already initialised on this thread) also takes a reference.
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    HRESULT result() const { return result_; }
    bool ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace kadrovix::win32
