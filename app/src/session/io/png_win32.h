// PNG output through the Windows Imaging Component: in-memory encoding for the
// image search upload and crash-safe file writing for the Save command.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "render/bgra_image.h"

namespace kadrovix::win32 {

// Encodes one PNG frame (32bppBGRA, no metadata) of `image` into `stream`,
// which must be open for writing.
Result<void> encode_png(const BgraImage& image, IWICImagingFactory* factory, IStream* stream);

// The whole PNG file of `image` in memory. The calling thread must have COM
// initialised.
Result<std::vector<std::uint8_t>> encode_png(const BgraImage& image);

// Writes `image` to `target` under a temporary name in the same folder, flushes
// it to the disk, then moves it into place with replace-existing and
// write-through: the target is either untouched or wholly replaced, even
// across a power loss, and no temporary file is left behind.
// The calling thread must have COM initialised.
Result<void> write_png_file(const BgraImage& image, const std::wstring& target);

}  // namespace kadrovix::win32
