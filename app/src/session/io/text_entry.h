// The text entry's decisions that need no window: which object a press with
// the Text tool edits, where the hidden edit control goes, how a click on the
// laid-out text becomes a caret position, and what committing does to the
// annotation document. The window side is text_entry_win32.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "editor/annotation.h"
#include "editor/editor.h"
#include "session/session_state.h"

namespace kadrovix {

// A press with the Text tool edits a text object this close to it.
inline constexpr double kTextPickTolerance = 5.0;
// The open field takes presses this far around its laid-out text, so that the
// caret of an empty entry can be clicked too.
inline constexpr double kTextFieldMargin = 4.0;

// What an entry opened at a point starts from.
struct TextEntryStart {
    std::optional<std::uint64_t> edited_id;  // the text object being edited, if any
    double angle = 0.0;                      // radians; the edited object's
    std::string text;                        // UTF-8, line breaks as "\r\n"
    Point origin;                            // top-left of the text layout
    double font_size = kInitialTextSize;
    Rgb colour;
};

// The topmost text object whose hit area (tolerance kTextPickTolerance)
// contains p; null when there is none.
const Annotation* text_object_at(std::span<const Annotation> objects, Point p);

// Edits the text object under p with its own text, origin, size, rotation and
// colour; otherwise a new empty entry at p with the session's text size and
// current colour.
TextEntryStart text_entry_start(const SessionState& s, Point p);

// A multi-line edit control breaks lines only at "\r\n": a lone "\n" or "\r"
// becomes one.
std::string to_edit_line_breaks(std::string_view utf8);

// The hidden edit control's rectangle in the session window: at the origin
// (each coordinate truncated and clamped to the signed 32-bit range; not a
// number gives 0), reaching to the desktop's right and bottom edges, at least
// 1 x 1.
struct EditPlacement {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 1;
    std::int32_t height = 1;
    friend bool operator==(const EditPlacement&, const EditPlacement&) = default;
};
EditPlacement edit_placement(Point origin, const Desktop& desktop);

// The caret position of a text-layout hit: `position` is the hit cluster's
// first code unit, `length` its length, `trailing` whether the point lies on
// its trailing half. A line break is never stepped over (a point right of a
// line's end stays on that line), and the caret never lands between the "\r"
// and "\n" of one break. Indices past the end clamp to the end.
template <class CharT>
std::uint32_t caret_from_hit(std::basic_string_view<CharT> text, std::uint32_t position, bool trailing,
                             std::uint32_t length) {
    const auto size = static_cast<std::uint32_t>(text.size());
    const auto is_break = [&](std::uint32_t i) {
        return i < size && (text[i] == static_cast<CharT>('\r') || text[i] == static_cast<CharT>('\n'));
    };
    std::uint32_t index = position > size ? size : position;
    if (trailing && !is_break(index)) {
        index = length > size - index ? size : index + length;
    }
    if (index > 0 && index < size && text[index - 1] == static_cast<CharT>('\r') &&
        text[index] == static_cast<CharT>('\n')) {
        --index;
    }
    return index;
}

// Whether p lies within `margin` of the field's box once the field's rotation
// about the box's centre is undone.
bool field_contains(const Rect& box, double angle, Point p, double margin);

// A closing entry's result, to be written into the document.
struct TextCommit {
    std::optional<std::uint64_t> edited_id;
    std::string text;  // UTF-8, as the control holds it
    Point origin;
    double font_size = 0.0;
    double width = 0.0;  // the text layout's
    double height = 0.0;
    Rgb colour;
};

enum class CommitOutcome : std::uint8_t {
    Added,     // a new text object, now the only selected object
    Replaced,  // the edited object's text, size, extent and colour, as one undo step; it is selected
    Removed,   // the edited object's text was cleared: the object is deleted, as one undo step
    Nothing,   // nothing to add, or an edited object's values were unusable
};

// New entry: add_text, and the new object becomes the only selected one
// (blank text adds nothing). Edited object: when origin, extent and size are
// finite and the size lies within 8..300, cancel a gesture in progress and
// replace its values as one undo step; an edited object whose text became
// blank is deleted instead, so no invisible object is left behind; an object
// that no longer exists is replaced by a new one holding the text.
CommitOutcome commit_text(Editor& editor, const TextCommit& commit);

}  // namespace kadrovix
