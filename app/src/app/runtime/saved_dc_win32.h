// Saves a device context's state (mapping mode, origins, selected objects,
// colours) and restores it when the scope ends, so that drawing code can
// change the mapping of a context it was lent.
#pragma once

#include <windows.h>

namespace kadrovix::win32 {

class SavedDc {
public:
    explicit SavedDc(HDC dc) : dc_(dc), id_(::SaveDC(dc)) {}
    SavedDc(const SavedDc&) = delete;
    SavedDc& operator=(const SavedDc&) = delete;
    ~SavedDc() {
        if (id_ != 0) ::RestoreDC(dc_, id_);
    }
    bool ok() const { return id_ != 0; }

private:
    HDC dc_;
    int id_;
};

}  // namespace kadrovix::win32
