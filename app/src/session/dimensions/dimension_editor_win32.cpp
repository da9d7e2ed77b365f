#include "session/dimensions/dimension_editor_win32.h"

#include <wrl/client.h>

#include <cmath>
#include <limits>
#include <string_view>

#include "app/runtime/text_win32.h"
#include "base/error_win32.h"
#include "render/d2d_helpers_win32.h"

namespace kadrovix::win32 {

using Microsoft::WRL::ComPtr;
using dimensions::Field;

namespace {

Result<ComPtr<IDWriteTextFormat>> label_format(IDWriteFactory* factory, float size, bool wrap) {
    return d2d::text_format(factory, {.family = kFieldFont, .size = size, .locale = L"en-US", .wrap = wrap});
}

// Text from (left, top), clipped to `clip`.
Result<void> draw_text(ID2D1RenderTarget* target, IDWriteFactory* factory, ID2D1SolidColorBrush* brush,
                       std::string_view utf8, float size, bool wrap, Point at, const Rect& clip, Rgb colour) {
    auto format = label_format(factory, size, wrap);
    if (!format) return propagate(format);
    const std::wstring text = to_wide(utf8);
    brush->SetColor(d2d::colour(colour));
    target->DrawText(text.c_str(), static_cast<UINT32>(text.size()), format->Get(),
                     D2D1::RectF(static_cast<float>(at.x), static_cast<float>(at.y), static_cast<float>(clip.max.x),
                                 static_cast<float>(clip.max.y)),
                     brush, D2D1_DRAW_TEXT_OPTIONS_CLIP);
    return {};
}

// A coordinate for a child window: rounded and kept within the signed 32-bit range.
int window_coordinate(double v) {
    constexpr int low = std::numeric_limits<int>::min();
    constexpr int high = std::numeric_limits<int>::max();
    if (std::isnan(v)) return 0;
    if (v <= low) return low;
    if (v >= high) return high;
    return static_cast<int>(std::lround(v));
}

}  // namespace

Result<DimensionEditor> DimensionEditor::open(HWND window, const SessionState& s) {
    const std::optional<Rect> label = dimensions::label_box(s);
    if (!label) return invalid_argument("Select a capture region first");
    const dimensions::FieldBoxes boxes = dimensions::field_boxes(*label);
    const Region& r = s.region;

    const auto make = [window](const Rect& box, const std::string& text) {
        HiddenEditOptions options;
        options.x = window_coordinate(box.min.x);
        options.y = window_coordinate(box.min.y);
        options.width = window_coordinate(box.max.x - box.min.x);
        options.height = window_coordinate(box.max.y - box.min.y);
        options.multi_line = false;
        options.limit = kDimensionFieldLimit;
        options.font_size = dimensions::kFieldFontSize;
        return HiddenEdit::create(window, std::string_view(text), options);
    };
    auto width = make(boxes.width, dimensions::field_text(r.right - r.left));
    if (!width) return propagate(width);
    // A failure here destroys the width field with `width`.
    auto height = make(boxes.height, dimensions::field_text(r.bottom - r.top));
    if (!height) return propagate(height);

    DimensionEditor editor;
    editor.fields_[0] = FieldControl{std::move(*width), boxes.width};
    editor.fields_[1] = FieldControl{std::move(*height), boxes.height};
    return editor;
}

void DimensionEditor::start() {
    error_.reset();
    focus_and_select(Field::Width);
}

std::optional<Field> DimensionEditor::focused_field() const {
    if (field(Field::Width).edit.has_focus()) return Field::Width;
    if (field(Field::Height).edit.has_focus()) return Field::Height;
    return std::nullopt;
}

void DimensionEditor::focus_and_select(Field f) {
    FieldControl& target = field(f);
    target.edit.focus();
    target.edit.select_all();
}

void DimensionEditor::take_focus() {
    if (!focused_field()) field(Field::Width).edit.focus();
}

dimensions::ApplyOutcome DimensionEditor::apply(const Region& region, const Desktop& desktop) {
    // The whole text is read, not the first 128 characters of it: a longer
    // text (set by other means than typing) is refused rather than cut short
    // into a different number.
    dimensions::ApplyOutcome out = dimensions::apply_fields(region, desktop, field(Field::Width).edit.text_utf8(),
                                                            field(Field::Height).edit.text_utf8());
    if (out.kind == dimensions::ApplyOutcome::Kind::Invalid) {
        error_ = out.message;
        if (!focused_field()) field(Field::Width).edit.focus();
    }
    return out;
}

FieldLook DimensionEditor::look(const FieldControl& f) const {
    FieldLook l;
    l.origin = f.box.min;
    l.font_size = dimensions::kFieldFontSize;
    l.colour = dimensions::kLabelTextColour;
    l.rotation = 0.0;
    l.focused = f.edit.has_focus();
    l.single_line = true;
    return l;
}

Result<void> DimensionEditor::caret_press(IDWriteFactory* factory, const Rect& label, Point p, bool shift) {
    const Field f = dimensions::field_at(label, p.x);
    FieldControl& target = field(f);
    auto hit = hit_test_field(factory, target.edit, look(target), p);
    if (!hit) return propagate(hit);
    if (shift) {
        anchor_ = target.edit.selection().start;
        target.edit.set_selection(anchor_, hit->index);
    } else {
        anchor_ = hit->index;
        target.edit.place_caret(hit->index);
    }
    error_.reset();
    selecting_ = f;
    target.edit.focus();
    return {};
}

Result<void> DimensionEditor::extend_selection(IDWriteFactory* factory, Point p) {
    if (!selecting_) return {};
    FieldControl& target = field(*selecting_);
    auto hit = hit_test_field(factory, target.edit, look(target), p);
    if (!hit) return propagate(hit);
    target.edit.set_selection(anchor_, hit->index);
    return {};
}

Result<void> DimensionEditor::paint_fields(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush,
                                           IDWriteFactory* factory) const {
    for (const FieldControl& f : fields_) {
        target->PushAxisAlignedClip(d2d::rect(f.box), D2D1_ANTIALIAS_MODE_ALIASED);
        auto painted = paint_field(target, brush, factory, f.edit, look(f));
        target->PopAxisAlignedClip();
        if (!painted) return painted;
    }
    return {};
}

Result<void> paint_dimension_label(ID2D1RenderTarget* target, ID2D1SolidColorBrush* brush, IDWriteFactory* factory,
                                   const SessionState& s, const DimensionEditor* editor) {
    static const std::optional<std::string> no_error;
    const std::optional<dimensions::LabelPaint> paint =
        dimensions::label_paint(s, editor != nullptr, editor != nullptr ? editor->error() : no_error);
    if (!paint) return {};

    brush->SetColor(d2d::colour(paint->fill));
    const Rect& label = paint->label;
    target->FillRectangle(d2d::rect(label), brush);
    if (paint->editor_open) {
        if (auto r = draw_text(target, factory, brush, dimensions::kTimesSign, dimensions::kLabelFontSize, false,
                               paint->fields.times_sign, label, dimensions::kLabelTextColour);
            !r) {
            return r;
        }
        if (auto r = editor->paint_fields(target, brush, factory); !r) return r;
    } else {
        const Point at{label.min.x + dimensions::kLabelTextX, label.min.y + dimensions::kLabelTextY};
        if (auto r = draw_text(target, factory, brush, paint->text, dimensions::kLabelFontSize, false, at, label,
                               dimensions::kLabelTextColour);
            !r) {
            return r;
        }
    }

    if (paint->message) {
        const Rect& box = paint->message->box;
        brush->SetColor(d2d::colour(paint->fill));
        target->FillRectangle(d2d::rect(box), brush);
        // Wrapped within the box, with the same margin on the right as on the left.
        const Point at{box.min.x + dimensions::kMessageTextX, box.min.y + dimensions::kMessageTextY};
        const Rect text_box{box.min, Point{box.max.x - dimensions::kMessageTextX, box.max.y}};
        if (auto r = draw_text(target, factory, brush, paint->message->text, dimensions::kMessageFontSize, true, at,
                               text_box, paint->message->colour);
            !r) {
            return r;
        }
    }
    return {};
}

}  // namespace kadrovix::win32
