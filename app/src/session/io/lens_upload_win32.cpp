#include "session/io/lens_upload_win32.h"

#include <objidl.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <vector>

#include "app/runtime/com_apartment_win32.h"
#include "app/runtime/text_win32.h"
#include "app/runtime/winhttp_win32.h"
#include "base/error_win32.h"
#include "session/io/lens_request.h"
#include "session/io/png_win32.h"

namespace kadrovix::win32 {

using Microsoft::WRL::ComPtr;

namespace lens_detail {

namespace {

template <class T>
Unexpected<Error> pass_error(Result<T>&& result) {
    return propagate(result);
}

// The PNG of `image`, encoded into a COM stream on global memory and read
// back; refused as too large before it is read.
Result<std::vector<std::uint8_t>> encode_for_upload(const BgraImage& image) {
    ComPtr<IStream> stream;
    RETURN_IF_FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ComPtr<IWICImagingFactory> factory;
    RETURN_IF_FAILED(
        ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)));
    if (auto encoded = encode_png(image, factory.Get(), stream.Get()); !encoded) return pass_error(std::move(encoded));

    STATSTG stat{};
    RETURN_IF_FAILED(stream->Stat(&stat, STATFLAG_NONAME));
    const std::uint64_t size = stat.cbSize.QuadPart;
    if (auto fits = check_lens_png_size(size); !fits) return pass_error(std::move(fits));

    LARGE_INTEGER start{};
    RETURN_IF_FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr));
    std::vector<std::uint8_t> png(static_cast<std::size_t>(size));
    std::size_t have = 0;
    while (have < png.size()) {
        ULONG got = 0;
        RETURN_IF_FAILED(stream->Read(png.data() + have, static_cast<ULONG>(png.size() - have), &got));
        if (got == 0) break;
        have += got;
    }
    if (have < png.size()) return general_failure(kIncompletePngMessage);
    return png;
}

}  // namespace

LensEndpoint lens_endpoint() {
    return LensEndpoint{to_wide(kLensUploadHost), kLensPort, true};
}

Result<std::string> upload_to_lens_at(const BgraImage& image, const LensEndpoint& endpoint) {
    ComApartment com;
    if (!com.ok()) return fail_hresult(com.result());
    if (auto valid = validate_image(image); !valid) return pass_error(std::move(valid));
    auto png = encode_for_upload(image);
    if (!png) return pass_error(std::move(png));
    return post_png_to_lens(*png, endpoint);
}

Result<std::string> post_png_to_lens(std::span<const std::uint8_t> png, const LensEndpoint& endpoint) {
    if (auto fits = check_lens_png_size(png.size()); !fits) return pass_error(std::move(fits));
    std::vector<std::uint8_t> body = build_lens_body(png);

    const std::wstring agent = to_wide(kLensUserAgent);
    UniqueInternet session(::WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return fail_winhttp();
    if (!::WinHttpSetTimeouts(session.get(), kLensResolveTimeoutMs, kLensConnectTimeoutMs, kLensSendTimeoutMs,
                              kLensReceiveTimeoutMs)) {
        return fail_winhttp();
    }

    UniqueInternet connection(::WinHttpConnect(session.get(), endpoint.host.c_str(), endpoint.port, 0));
    if (!connection) return fail_winhttp();
    const std::wstring method = to_wide(kLensMethod);
    const std::wstring path = to_wide(kLensPathAndQuery);
    UniqueInternet request(::WinHttpOpenRequest(connection.get(), method.c_str(), path.c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                endpoint.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return fail_winhttp();

    // The answer is judged by its status and Location alone: WinHTTP must
    // neither follow the redirect nor keep cookies of its own.
    DWORD features = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS;
    if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features)) {
        return fail_winhttp();
    }

    const std::wstring headers = to_wide(lens_request_headers());
    const auto body_size = static_cast<DWORD>(body.size());
    if (!::WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()), body.data(),
                              body_size, body_size, 0)) {
        return fail_winhttp();
    }
    if (!::WinHttpReceiveResponse(request.get(), nullptr)) return fail_winhttp();

    DWORD status = 0;
    DWORD status_size = sizeof status;
    if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size, WINHTTP_NO_HEADER_INDEX)) {
        return fail_winhttp();
    }
    if (!is_lens_redirect_status(status)) return general_failure(lens_rejected_message(status));

    std::vector<wchar_t> location(kLensLocationUnits, L'\0');
    DWORD location_size = static_cast<DWORD>(location.size() * sizeof(wchar_t));
    if (!::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location.data(),
                               &location_size, WINHTTP_NO_HEADER_INDEX)) {
        return fail_winhttp();
    }
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "WinHTTP text is UTF-16");
    const std::u16string units(location.begin(), location.end());
    return lens_link_from_location(units);
}

}  // namespace lens_detail

Result<std::string> upload_to_lens(const BgraImage& image) {
    return lens_detail::upload_to_lens_at(image, lens_detail::lens_endpoint());
}

}  // namespace kadrovix::win32
