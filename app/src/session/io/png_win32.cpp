#include "session/io/png_win32.h"

#include <wrl/client.h>

#include <cstring>
#include <string_view>

#include "app/runtime/error_win32.h"
#include "app/runtime/file_win32.h"
#include "session/io/save_paths.h"

namespace kadrovix::win32 {

using Microsoft::WRL::ComPtr;

// A Result holding a ComPtr is read with *, never ->: Expected::operator->
// takes the address with unary &, which MinGW's ComPtr overloads to release
// the pointer it holds.

namespace {

Unexpected<Error> fail(HRESULT hr) { return fail_hresult(hr); }

Result<ComPtr<IWICImagingFactory>> create_wic_factory() {
    ComPtr<IWICImagingFactory> factory;
    const HRESULT hr =
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    if (FAILED(hr)) return fail(hr);
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
    if (image.pixels.size() > 0xFFFFFFFFu) return fail(HRESULT_FROM_WIN32(ERROR_ARITHMETIC_OVERFLOW));

    ComPtr<IWICBitmapEncoder> encoder;
    HRESULT hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (FAILED(hr)) return fail(hr);
    hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    if (FAILED(hr)) return fail(hr);

    ComPtr<IWICBitmapFrameEncode> frame;
    hr = encoder->CreateNewFrame(&frame, nullptr);
    if (FAILED(hr)) return fail(hr);
    if (!frame) return general_failure("PNG frame missing");
    hr = frame->Initialize(nullptr);
    if (FAILED(hr)) return fail(hr);
    hr = frame->SetSize(image.width, image.height);
    if (FAILED(hr)) return fail(hr);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    hr = frame->SetPixelFormat(&format);
    if (FAILED(hr)) return fail(hr);

    // The bitmap reads the image's memory; WIC only reads it, but the
    // interface takes a non-const pointer.
    ComPtr<IWICBitmap> bitmap;
    hr = factory->CreateBitmapFromMemory(image.width, image.height, GUID_WICPixelFormat32bppBGRA, 4 * image.width,
                                         static_cast<UINT>(image.pixels.size()),
                                         const_cast<BYTE*>(image.pixels.data()), &bitmap);
    if (FAILED(hr)) return fail(hr);
    hr = frame->WriteSource(bitmap.Get(), nullptr);
    if (FAILED(hr)) return fail(hr);
    hr = frame->Commit();
    if (FAILED(hr)) return fail(hr);
    hr = encoder->Commit();
    if (FAILED(hr)) return fail(hr);
    return {};
}

Result<std::vector<std::uint8_t>> encode_png(const BgraImage& image) {
    if (auto valid = validate_image(image); !valid) return Unexpected<Error>{std::move(valid).error()};
    auto factory = create_wic_factory();
    if (!factory) return Unexpected<Error>{std::move(factory).error()};
    ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr)) return fail(hr);
    if (auto encoded = encode_png(image, (*factory).Get(), stream.Get()); !encoded) {
        return Unexpected<Error>{std::move(encoded).error()};
    }

    // The global block may be larger than what was written: the stream's
    // size is the PNG's length.
    STATSTG stat{};
    hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return fail(hr);
    HGLOBAL memory = nullptr;
    hr = GetHGlobalFromStream(stream.Get(), &memory);
    if (FAILED(hr)) return fail(hr);
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
    if (!encoded) return Unexpected<Error>{std::move(encoded).error()};
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
