#include "session/io/png_win32.h"

#include <wrl/client.h>

#include <cstring>
#include <string_view>

#include "app/runtime/file_win32.h"
#include "base/error_win32.h"
#include "session/io/save_paths.h"

namespace kadrovix::win32 {

using Microsoft::WRL::ComPtr;

// A Result holding a ComPtr is read with *, never ->: Expected::operator->
// takes the address with unary &, which MinGW's ComPtr overloads to release
// the pointer it holds.

namespace {

Result<ComPtr<IWICImagingFactory>> create_wic_factory() {
    ComPtr<IWICImagingFactory> factory;
    const HRESULT hr =
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) return win32::fail_hresult(hr);
    return factory;
}

std::wstring to_wstring(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string to_u16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

// Removes a file this program created, read-only or not; a failure to remove
// it is not reported (the error that led here matters more).
void remove_own_file(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}

}  // namespace

Result<void> encode_png(const BgraImage& image, IWICImagingFactory* factory, IStream* stream) {
    if (auto valid = validate_image(image); !valid) return valid;
    // WIC takes the buffer length as a 32-bit count.
    if (image.pixels.size() > 0xFFFFFFFFu) return win32::fail_hresult(HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW));

    ComPtr<IWICBitmapEncoder> encoder;
    RETURN_IF_FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder));
    RETURN_IF_FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache));

    ComPtr<IWICBitmapFrameEncode> frame;
    RETURN_IF_FAILED(encoder->CreateNewFrame(&frame, nullptr));
    if (!frame) return general_failure("PNG frame missing");
    RETURN_IF_FAILED(frame->Initialize(nullptr));
    RETURN_IF_FAILED(frame->SetSize(image.width, image.height));
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    RETURN_IF_FAILED(frame->SetPixelFormat(&format));

    // The bitmap reads the image's memory; WIC only reads it, but the
    // interface takes a non-const pointer.
    ComPtr<IWICBitmap> bitmap;
    RETURN_IF_FAILED(factory->CreateBitmapFromMemory(image.width, image.height, GUID_WICPixelFormat32bppBGRA,
                                                     4 * image.width, static_cast<UINT>(image.pixels.size()),
                                                     const_cast<BYTE*>(image.pixels.data()), &bitmap));
    RETURN_IF_FAILED(frame->WriteSource(bitmap.Get(), nullptr));
    RETURN_IF_FAILED(frame->Commit());
    RETURN_IF_FAILED(encoder->Commit());
    return {};
}

Result<std::vector<std::uint8_t>> encode_png(const BgraImage& image) {
    RETURN_IF_ERROR(validate_image(image));
    auto factory = create_wic_factory();
    if (!factory) return propagate(factory);
    ComPtr<IStream> stream;
    RETURN_IF_FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    RETURN_IF_ERROR(encode_png(image, (*factory).Get(), stream.Get()));

    // The global block may be larger than what was written: the stream's
    // size is the PNG's length.
    STATSTG stat{};
    RETURN_IF_FAILED(stream->Stat(&stat, STATFLAG_NONAME));
    HGLOBAL memory = nullptr;
    RETURN_IF_FAILED(GetHGlobalFromStream(stream.Get(), &memory));
    const void* data = ::GlobalLock(memory);
    if (data == nullptr) return fail_last_error();
    std::vector<std::uint8_t> bytes(static_cast<const std::uint8_t*>(data),
                                    static_cast<const std::uint8_t*>(data) + stat.cbSize.QuadPart);
    ::GlobalUnlock(memory);
    return bytes;
}

Result<void> write_png_file(const BgraImage& image, const std::wstring& target) {
    if (auto valid = validate_image(image); !valid) return valid;
    const std::wstring temporary = to_wstring(temporary_path(to_u16(target), ::GetCurrentProcessId()));

    auto encoded = encode_png(image);
    if (!encoded) return propagate(encoded);
    const std::string_view bytes(reinterpret_cast<const char*>(encoded->data()), encoded->size());
    if (const DWORD error = write_file_durably(temporary, bytes); error != ERROR_SUCCESS) {
        remove_own_file(temporary);
        return system_error(hresult_from_win32(error));
    }
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const Error error = last_error();
        remove_own_file(temporary);
        return Unexpected<Error>{error};
    }
    return {};
}

}  // namespace kadrovix::win32
