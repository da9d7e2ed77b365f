// The dimension label above the capture region and what the overlay draws
// with it: the "{width} × {height}" box, the two inline fields once it is
// clicked, and the hint or error box below it. Geometry only, in desktop
// pixels, computed from the session on demand and never stored; the fonts,
// brushes and edit controls belong to the Win32 side.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "editor/annotation.h"
#include "session/session_state.h"

namespace kadrovix::dimensions {

// The label box: its right edge on the region's right edge, kLabelGap above
// the region's top, kept inside the desktop.
inline constexpr double kLabelWidth = 152.0;
inline constexpr double kLabelHeight = 26.0;
inline constexpr double kLabelGap = 6.0;
inline constexpr double kLabelTextX = 8.0;  // closed text, from the label's top-left
inline constexpr double kLabelTextY = 4.0;
inline constexpr float kLabelFontSize = 13.0f;

// The two fields while the editor is open, relative to the label.
inline constexpr double kFieldLeft = 4.0;
inline constexpr double kFieldTop = 3.0;
inline constexpr double kFieldHeight = 20.0;
inline constexpr double kFieldGap = 14.0;  // between the fields; holds the "×"
inline constexpr double kFieldsSpare = 22.0;  // label width not shared by the two fields
inline constexpr float kFieldFontSize = 14.0f;

// The hint or error box below the label.
inline constexpr double kMessageBoxWidth = 460.0;
inline constexpr double kMessageBoxHeight = 48.0;
inline constexpr double kMessageBoxGap = 4.0;
inline constexpr double kMessageTextX = 6.0;
inline constexpr double kMessageTextY = 4.0;
inline constexpr float kMessageFontSize = 12.0f;

inline constexpr char kTimesSign[] = "×";
inline constexpr char kHintText[] = "Edit dimensions · expressions: 800+20, 1920/2";

inline constexpr Rgb kLabelFill{32, 32, 32};
inline constexpr Rgb kLabelHoverFill{48, 57, 70};
inline constexpr Rgb kLabelTextColour{240, 240, 240};
inline constexpr Rgb kHintColour{220, 220, 220};
inline constexpr Rgb kErrorColour{255, 160, 150};

// None while no region exists. The box is kLabelWidth x kLabelHeight, or the
// desktop's size where the desktop is smaller.
std::optional<Rect> label_box(const Region& region, const Desktop& desktop);
// The same, kept off the rectangles in `avoid`: where it would lie on one of
// them it goes left of them on the same line, else just inside the region's
// top right corner, so that what is drawn on top is always what a press gets.
std::optional<Rect> label_box(const Region& region, const Desktop& desktop, std::span<const Rect> avoid);
// The label of the session, kept off its toolbar panels.
std::optional<Rect> label_box(const SessionState& s);

// min <= p < max: the label's own pixels.
bool label_contains(const Rect& label, Point p);

// Whether the label under the pointer shows as hovered (and answers a
// press): never while a region is being selected or dragged.
bool label_hovered(const SessionState& s);

// "{width} × {height}", each side truncated toward zero and clamped to the
// signed 32-bit range.
std::string label_text(const Region& region);

enum class Field { Width, Height };

struct FieldBoxes {
    Rect width;
    Rect height;
    Point times_sign;  // where the "×" between them is drawn
    friend bool operator==(const FieldBoxes&, const FieldBoxes&) = default;
};

// fw = max(1, truncated (label width - 22) / 2), 65 for a full-size label;
// the width field at (4, 3), the height field kFieldGap to its right.
FieldBoxes field_boxes(const Rect& label);

// A press on the label picks a field by the pointer's x: left of the label's
// middle the width field, otherwise the height field.
Field field_at(const Rect& label, double x);

// Below the label, kept inside the desktop where the desktop is large enough.
Rect message_box(const Rect& label, const Desktop& desktop);

// What the overlay draws for the label, decided from the session and the
// editor: the Win32 painter only turns this into Direct2D calls.
struct LabelMessage {
    Rect box;
    std::string text;
    Rgb colour;
    friend bool operator==(const LabelMessage&, const LabelMessage&) = default;
};

struct LabelPaint {
    Rect label;
    Rgb fill;  // also the message box's fill
    bool editor_open = false;
    std::string text;         // closed: "{width} × {height}"
    FieldBoxes fields;        // open: where the fields and the "×" go
    std::optional<LabelMessage> message;
    friend bool operator==(const LabelPaint&, const LabelPaint&) = default;
};

// None without a region. `error` is the open editor's message, if any.
std::optional<LabelPaint> label_paint(const SessionState& s, bool editor_open,
                                      const std::optional<std::string>& error);

}  // namespace kadrovix::dimensions
