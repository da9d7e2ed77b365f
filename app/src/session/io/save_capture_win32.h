// The Save command's dialog and file write.
#pragma once

#include <windows.h>

#include <string>

#include "base/error.h"
#include "render/bgra_image.h"

namespace kadrovix::win32 {

enum class SaveOutcome { Saved, Cancelled };

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Cancelled;
    std::wstring path;      // the file written
    std::u16string folder;  // its folder, to remember as save_folder; empty when the path names none
};

inline constexpr std::size_t kSaveDialogBufferUnits = 32768;

// Shows the Save dialog owned by `owner`, opened on `remembered_folder` when
// that still is a folder and on the desktop otherwise, proposing
// "Kadrovix-{seconds}.png", and writes `output` (the capture's rendered image,
// see output_image_of_capture) to the chosen file. Cancelling is an outcome,
// not an error; a dialog that cannot open is "Could not open the Save dialog
// ({code})". The caller remembers the folder, shows the notice and ends the
// capture on Saved, and keeps the capture open otherwise.
Result<SaveResult> save_capture(const BgraImage& output, const std::u16string& remembered_folder, HWND owner);

}  // namespace kadrovix::win32
