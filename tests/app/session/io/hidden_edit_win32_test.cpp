#include "session/io/hidden_edit_win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/d2d_surface_win32.h"
#include "support/test_window_win32.h"

namespace kadrovix::win32 {
namespace {

using testing::TestWindow;

HiddenEditOptions multi_line_at(int x, int y, double size = 24.0) {
    HiddenEditOptions o;
    o.x = x;
    o.y = y;
    o.width = 400;
    o.height = 200;
    o.multi_line = true;
    o.font_size = size;
    return o;
}

HiddenEditOptions dimension_field() {
    HiddenEditOptions o;
    o.x = 10;
    o.y = 10;
    o.width = 65;
    o.height = 20;
    o.multi_line = false;
    o.limit = kDimensionFieldLimit;
    o.font_size = 14.0;
    return o;
}

void type_chars(HWND edit, std::wstring_view chars) {
    for (wchar_t c : chars) ::SendMessageW(edit, WM_CHAR, c, 1);
}

TEST(HiddenEdit, NeitherPaintsNorTakesTheMouse) {
    TestWindow parent;
    ASSERT_NE(parent.get(), nullptr);
    auto edit = HiddenEdit::create(parent.get(), std::wstring_view(L"typed"), multi_line_at(20, 30));
    ASSERT_TRUE(edit.has_value()) << edit.error().code;
    HWND w = edit->window();
    ASSERT_TRUE(::IsWindow(w));
    EXPECT_EQ(::GetParent(w), parent.get());
    EXPECT_TRUE(::IsWindowVisible(w)) << "a hidden window would not take the keyboard focus";
    EXPECT_NE(::GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);

    // Its window region is empty.
    HRGN region = ::CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(::GetWindowRgn(w, region), NULLREGION);
    ::DeleteObject(region);

    // It answers the hit test as transparent, so presses reach the session.
    EXPECT_EQ(::SendMessageW(w, WM_NCHITTEST, 0, MAKELPARAM(70, 80)), HTTRANSPARENT);
    POINT inside{60, 50};
    ::ClientToScreen(parent.get(), &inside);
    EXPECT_NE(::WindowFromPoint(inside), w);

    // A paint request is validated without drawing, and nothing is erased.
    ::InvalidateRect(w, nullptr, TRUE);
    ::UpdateWindow(w);
    RECT pending{};
    EXPECT_FALSE(::GetUpdateRect(w, &pending, FALSE));
    HDC dc = ::GetDC(w);
    EXPECT_EQ(::SendMessageW(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
    ::ReleaseDC(w, dc);
}

TEST(HiddenEdit, TextAndSelectionRoundTrip) {
    TestWindow parent;
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e\r\n\xF0\x9F\x98\x80 ok";  // "Grüße", break, an emoji, " ok"
    auto edit = HiddenEdit::create(parent.get(), std::string_view(utf8), multi_line_at(0, 0));
    ASSERT_TRUE(edit.has_value());
    const std::wstring wide = L"Gr\u00FC\u00DFe\r\n\U0001F600 ok";
    EXPECT_EQ(edit->text(), wide);
    EXPECT_EQ(edit->text_utf8(), utf8);
    const auto length = static_cast<std::uint32_t>(wide.size());
    // The caret starts at the end.
    EXPECT_EQ(edit->selection(), (EditSelection{length, length}));

    edit->set_selection(2, 5);
    EXPECT_EQ(edit->selection(), (EditSelection{2, 5}));
    edit->set_selection(9, 1);  // backwards: reported in order
    EXPECT_EQ(edit->selection(), (EditSelection{1, 9}));
    edit->place_caret(4);
    EXPECT_EQ(edit->selection(), (EditSelection{4, 4}));
    edit->place_caret(1000);  // past the end: the end
    EXPECT_EQ(edit->selection(), (EditSelection{length, length}));
    edit->select_all();
    EXPECT_EQ(edit->selection(), (EditSelection{0, length}));

    // Typing replaces the selection; Enter breaks the line in a multi-line control.
    type_chars(edit->window(), L"ab\rc");
    EXPECT_EQ(edit->text(), L"ab\r\nc");
    edit->set_text(L"again");
    EXPECT_EQ(edit->text_utf8(), "again");
}

TEST(HiddenEdit, DimensionFieldsStopAt128Characters) {
    TestWindow parent;
    auto edit = HiddenEdit::create(parent.get(), std::string_view("800"), dimension_field());
    ASSERT_TRUE(edit.has_value());
    EXPECT_FALSE(edit->multi_line());
    edit->select_all();
    type_chars(edit->window(), std::wstring(140, L'7'));
    EXPECT_EQ(edit->text(), std::wstring(128, L'7'));
    // Pasting through the control is held to the same limit.
    edit->select_all();
    const std::wstring long_paste(300, L'9');
    ::SendMessageW(edit->window(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(long_paste.c_str()));
    EXPECT_EQ(edit->text().size(), 128u);
    // Enter does not break a single line.
    type_chars(edit->window(), L"\r");
    EXPECT_EQ(edit->text().find(L'\n'), std::wstring::npos);
}

TEST(HiddenEdit, TextEntriesHaveNoLimit) {
    TestWindow parent;
    auto edit = HiddenEdit::create(parent.get(), std::wstring_view(), multi_line_at(0, 0, 12));
    ASSERT_TRUE(edit.has_value());
    // Past the control's default limit of 32767 characters.
    const std::wstring many(40000, L'x');
    ::SendMessageW(edit->window(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(many.c_str()));
    EXPECT_EQ(edit->text().size(), 40000u);
}

TEST(HiddenEdit, ChangesToTextSelectionOrFocusAskTheParentToRepaint) {
    TestWindow parent;
    auto edit = HiddenEdit::create(parent.get(), std::wstring_view(L"some words"), multi_line_at(0, 0));
    ASSERT_TRUE(edit.has_value());
    HWND w = edit->window();
    TestWindow::pump();

    struct Case {
        const char* name;
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
    };
    const Case cases[] = {
        {"WM_CHAR", WM_CHAR, L'x', 1},
        {"WM_KEYDOWN", WM_KEYDOWN, VK_LEFT, 1},
        {"WM_KEYUP", WM_KEYUP, VK_LEFT, static_cast<LPARAM>(0xC0000001u)},
        {"EM_SETSEL", EM_SETSEL, 0, 4},
        {"WM_SETTEXT", WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"other words")},
        {"WM_CUT", WM_CUT, 0, 0},
        {"WM_PASTE", WM_PASTE, 0, 0},
        {"WM_CLEAR", WM_CLEAR, 0, 0},
        {"WM_UNDO", WM_UNDO, 0, 0},
        {"WM_IME_COMPOSITION", WM_IME_COMPOSITION, 0, 0},
    };
    for (const Case& c : cases) {
        parent.mark_painted();
        ASSERT_FALSE(parent.needs_paint());
        ::SendMessageW(w, c.message, c.wparam, c.lparam);
        EXPECT_TRUE(parent.needs_paint()) << c.name;
    }
    // Focus gained and lost.
    parent.mark_painted();
    edit->focus();
    EXPECT_TRUE(edit->has_focus());
    EXPECT_TRUE(parent.needs_paint()) << "WM_SETFOCUS";
    parent.mark_painted();
    ::SetFocus(parent.get());
    EXPECT_FALSE(edit->has_focus());
    EXPECT_TRUE(parent.needs_paint()) << "WM_KILLFOCUS";

    // A question that changes nothing leaves the parent alone.
    parent.mark_painted();
    ::SendMessageW(w, WM_GETTEXTLENGTH, 0, 0);
    EXPECT_FALSE(parent.needs_paint());
}

bool caret_reported_visible() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return ::GetGUIThreadInfo(::GetCurrentThreadId(), &info) && (info.flags & GUI_CARETBLINKING) != 0;
}

TEST(HiddenEdit, FocusHidesTheSystemCaret) {
    TestWindow parent;
    ASSERT_TRUE(::SetForegroundWindow(parent.get()) || ::GetForegroundWindow() == parent.get());
    auto edit = HiddenEdit::create(parent.get(), std::wstring_view(L"caret"), multi_line_at(0, 0));
    ASSERT_TRUE(edit.has_value());
    edit->focus();
    ASSERT_TRUE(edit->has_focus());
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetGUIThreadInfo(::GetCurrentThreadId(), &info));
    EXPECT_EQ(info.hwndCaret, edit->window()) << "the control owns the caret";

    // Whether the caret shows can be read only where the system reports a
    // hidden caret as not blinking: a plain edit control tells.
    HWND plain = ::CreateWindowExW(0, L"EDIT", L"plain", WS_CHILD | WS_VISIBLE, 0, 100, 100, 20, parent.get(),
                                   nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(plain, nullptr);
    ::SetFocus(plain);
    const bool shown_reported = caret_reported_visible();
    ::HideCaret(plain);
    const bool reports_hiding = shown_reported && !caret_reported_visible();
    ::DestroyWindow(plain);
    if (!reports_hiding) {
        std::printf("note: this system does not report whether the caret is hidden\n");
        return;
    }
    edit->focus();
    EXPECT_FALSE(caret_reported_visible()) << "the system caret shows in the hidden control";
}

TEST(HiddenEdit, FontFollowsTheSizeInWholePixels) {
    TestWindow parent;
    auto edit = HiddenEdit::create(parent.get(), std::wstring_view(L"size"), multi_line_at(0, 0, 24.4));
    ASSERT_TRUE(edit.has_value());
    const auto font_height = [&] {
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(edit->window(), WM_GETFONT, 0, 0));
        LOGFONTW lf{};
        if (font == nullptr || ::GetObjectW(font, sizeof lf, &lf) == 0) return 0L;
        return static_cast<long>(lf.lfHeight);
    };
    EXPECT_EQ(font_height(), -24L);  // the em height, as DirectWrite sizes text
    const auto first = ::SendMessageW(edit->window(), WM_GETFONT, 0, 0);
    ASSERT_TRUE(edit->set_font_size(48.6).has_value());
    EXPECT_EQ(edit->font_size(), 48.6);
    EXPECT_NE(::SendMessageW(edit->window(), WM_GETFONT, 0, 0), first);
    EXPECT_EQ(font_height(), -49L);
    LOGFONTW lf{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(edit->window(), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, L"Segoe UI");
    EXPECT_EQ(lf.lfQuality, CLEARTYPE_QUALITY);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    // Zero margins: the text starts at the control's edge, as the field painter draws it.
    const LRESULT margins = ::SendMessageW(edit->window(), EM_GETMARGINS, 0, 0);
    EXPECT_EQ(LOWORD(margins), 0);
    EXPECT_EQ(HIWORD(margins), 0);
}

TEST(HiddenEdit, OwnerDestroysTheControlAndMovesKeepIt) {
    TestWindow parent;
    HWND w = nullptr;
    {
        auto created = HiddenEdit::create(parent.get(), std::wstring_view(L"x"), dimension_field());
        ASSERT_TRUE(created.has_value());
        HiddenEdit owner = std::move(*created);
        w = owner.window();
        EXPECT_EQ(created->window(), nullptr);
        HiddenEdit other;
        other = std::move(owner);
        EXPECT_TRUE(::IsWindow(w));
        EXPECT_EQ(other.window(), w);
        EXPECT_FALSE(static_cast<bool>(owner));
    }
    EXPECT_FALSE(::IsWindow(w));
}

TEST(HiddenEdit, SingleLineFieldsReportTheFirstVisibleCharacter) {
    TestWindow parent;
    HiddenEditOptions narrow = dimension_field();
    narrow.width = 40;
    auto edit = HiddenEdit::create(parent.get(), std::wstring_view(L"1234567890123456789012345"), narrow);
    ASSERT_TRUE(edit.has_value());
    edit->focus();
    edit->place_caret(25);
    EXPECT_GT(edit->first_visible_char(), 0u) << "the caret at the end scrolls the text";
    edit->place_caret(0);
    EXPECT_EQ(edit->first_visible_char(), 0u);

    auto multi = HiddenEdit::create(parent.get(), std::wstring_view(L"a\r\nb\r\nc"), multi_line_at(0, 0));
    ASSERT_TRUE(multi.has_value());
    EXPECT_EQ(multi->first_visible_char(), 0u);
}

}  // namespace
}  // namespace kadrovix::win32
