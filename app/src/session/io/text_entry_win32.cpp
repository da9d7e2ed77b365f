#include "session/io/text_entry_win32.h"

#include "render/renderer_win32.h"
#include "session/input.h"

namespace kadrovix::win32 {

Result<TextEntry> TextEntry::open(HWND window, const TextEntryStart& start, const Desktop& desktop) {
    const EditPlacement at = edit_placement(start.origin, desktop);
    HiddenEditOptions options;
    options.x = at.x;
    options.y = at.y;
    options.width = at.width;
    options.height = at.height;
    options.multi_line = true;
    options.limit = 0;
    options.font_size = start.font_size;
    auto edit = HiddenEdit::create(window, std::string_view(start.text), options);
    if (!edit) return propagate(edit);
    TextEntry entry;
    entry.edit_ = std::move(*edit);
    entry.edited_id_ = start.edited_id;
    entry.angle_ = start.angle;
    entry.origin_ = start.origin;
    entry.font_size_ = start.font_size;
    entry.colour_ = start.colour;
    return entry;
}

FieldLook TextEntry::look() const {
    FieldLook look;
    look.origin = origin_;
    look.font_size = font_size_;
    look.colour = colour_;
    look.rotation = angle_;
    look.focused = edit_.has_focus();
    look.single_line = false;
    return look;
}

Result<bool> TextEntry::contains(IDWriteFactory* factory, Point p) const {
    const FieldLook l = look();
    auto box = measure_field(factory, edit_, l);
    if (!box) return propagate(box);
    return field_contains(box->box, l.rotation, p, kTextFieldMargin);
}

Result<void> TextEntry::caret_press(IDWriteFactory* factory, Point p, bool shift) {
    auto hit = hit_test_field(factory, edit_, look(), p);
    if (!hit) return propagate(hit);
    if (shift) {
        anchor_ = edit_.selection().start;
        edit_.set_selection(anchor_, hit->index);
    } else {
        anchor_ = hit->index;
        edit_.place_caret(hit->index);
    }
    selecting_ = true;
    edit_.focus();
    return {};
}

Result<void> TextEntry::extend_selection(IDWriteFactory* factory, Point p) {
    if (!selecting_) return {};
    auto hit = hit_test_field(factory, edit_, look(), p);
    if (!hit) return propagate(hit);
    edit_.set_selection(anchor_, hit->index);
    return {};
}

Result<void> TextEntry::change_size(double step) {
    const double size = stepped_text_size(font_size_, step);
    if (size == font_size_) return {};
    if (auto r = edit_.set_font_size(size); !r) return r;
    font_size_ = size;
    return {};
}

Result<void> TextEntry::paint(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* factory) const {
    return paint_field(target, brush, factory, edit_, look());
}

Result<TextCommit> TextEntry::result(IDWriteFactory* factory) const {
    if (factory == nullptr) return invalid_argument("No DirectWrite factory for the text layout");
    TextCommit commit;
    commit.edited_id = edited_id_;
    commit.text = edit_.text_utf8();
    commit.origin = origin_;
    commit.font_size = font_size_;
    commit.colour = colour_;
    auto size = measure_text(factory, commit.text, font_size_);
    if (!size) return propagate(size);
    commit.width = size->width;
    commit.height = size->height;
    return commit;
}

}  // namespace kadrovix::win32
