#include "session/io/clipboard_win32.h"

#include <cstring>
#include <utility>
#include <vector>

#include "app/runtime/global_memory_win32.h"
#include "base/error_win32.h"

namespace kadrovix::win32 {

namespace {

// The last error as a value; a call that failed without setting one still
// reports a failure rather than success code 0.
Unexpected<Error> fail_clipboard() {
    Error error = last_error();
    if (error.code == 0) error.code = kErrorFail;
    return Unexpected<Error>{std::move(error)};
}

class OpenedClipboard {
public:
    // Another program (a clipboard manager, or one reading what we just put
    // there) may hold the clipboard for a moment: a few short retries keep a
    // copy from failing over it.
    explicit OpenedClipboard(HWND owner) {
        for (int attempt = 0; attempt < 20 && !open_; ++attempt) {
            if (attempt > 0) ::Sleep(10);
            open_ = ::OpenClipboard(owner) != FALSE;
        }
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() {
        if (open_) ::CloseClipboard();
    }
    explicit operator bool() const { return open_; }

private:
    bool open_ = false;
};

Result<UniqueGlobalMemory> allocate(std::size_t size) {
    UniqueGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) return fail_clipboard();
    return memory;
}

// The common writer: open, empty (dropping every format anyone put there),
// set, read the sequence number, close. The memory belongs to the clipboard
// after a successful set and is freed on every other path.
Result<std::uint32_t> put_clipboard_memory(HWND owner, UINT format, UniqueGlobalMemory memory) {
    OpenedClipboard clipboard(owner);
    if (!clipboard) return fail_clipboard();
    if (!::EmptyClipboard()) return fail_clipboard();
    if (::SetClipboardData(format, memory.get()) == nullptr) return fail_clipboard();
    memory.release();
    return static_cast<std::uint32_t>(::GetClipboardSequenceNumber());
}

}  // namespace

Result<std::uint32_t> put_clipboard_data(HWND owner, UINT format, std::span<const std::uint8_t> bytes) {
    auto memory = allocate(bytes.size());
    if (!memory) return propagate(memory);
    {
        LockedGlobal locked(memory->get(), bytes.size());
        if (!locked) return fail_clipboard();
        if (!bytes.empty()) std::memcpy(locked.bytes().data(), bytes.data(), bytes.size());
    }
    return put_clipboard_memory(owner, format, std::move(*memory));
}

Result<void> copy_image(const BgraImage& image, HWND window) {
    auto size = dib_block_size(image);
    if (!size) return propagate(size);
    // Built straight into the clipboard's memory: a whole virtual screen is
    // large enough that a second full copy matters.
    auto memory = allocate(*size);
    if (!memory) return propagate(memory);
    {
        LockedGlobal locked(memory->get(), *size);
        if (!locked) return fail_clipboard();
        write_dib_block(image, locked.bytes());
    }
    auto sequence = put_clipboard_memory(window, CF_DIB, std::move(*memory));
    if (!sequence) return propagate(sequence);
    return {};
}

Result<void> copy_color_text(Rgb colour, HWND window) {
    auto block = unicode_text_block(color_text(colour));
    if (!block) return propagate(block);
    auto sequence = put_clipboard_data(window, CF_UNICODETEXT, *block);
    if (!sequence) return propagate(sequence);
    return {};
}

Result<bool> copy_objects(const Editor& editor, ObjectClipboard& clipboard, HWND window) {
    std::vector<Annotation> copies = editor.copy_selection();
    if (copies.empty()) return false;
    const UINT format = ::RegisterClipboardFormatW(kAnnotationsClipboardFormatW);
    if (format == 0) return fail_clipboard();
    const std::uint8_t marker[1] = {kAnnotationsMarkerByte};
    auto sequence = put_clipboard_data(window, format, marker);
    if (!sequence) return propagate(sequence);
    clipboard.store(std::move(copies), *sequence);
    return true;
}

bool paste_objects(Editor& editor, ObjectClipboard& clipboard) {
    if (!clipboard.is_current(static_cast<std::uint32_t>(::GetClipboardSequenceNumber()))) return false;
    const UINT format = ::RegisterClipboardFormatW(kAnnotationsClipboardFormatW);
    if (format == 0 || !::IsClipboardFormatAvailable(format)) return false;
    editor.paste(clipboard.objects, clipboard.count_paste());
    return true;
}

}  // namespace kadrovix::win32
