// Who gets the keyboard after a command or an activation.
#include "session/keyboard_focus.h"

#include <gtest/gtest.h>

#include "app/session/session_fixtures.h"

namespace kadrovix {
namespace {

TEST(KeyboardFocus, AnOpenPartThatTypesGetsTheKeysAndItsOwnKeysUnlessThePickerOrEyedropperHasThem) {
    SessionState s = testing::editing_session(100, 100, 500, 400);
    PartsView entry, editor;
    entry.text_entry_open = editor.dimension_editor_open = true;
    EXPECT_EQ(focus_on_activation(s, entry), KeyboardOwner::TextEntry);
    EXPECT_EQ(focus_on_activation(s, editor), KeyboardOwner::DimensionEditor);
    EXPECT_EQ(focus_after_command(s, editor), KeyboardOwner::SessionWindow);
    entry.picker_open = editor.picker_open = true;
    EXPECT_EQ(focus_after_command(s, entry), KeyboardOwner::SessionWindow);
    EXPECT_EQ(focus_on_activation(s, editor), KeyboardOwner::SessionWindow);
    EXPECT_EQ(text_entry_own_key(s, entry, vk::kEscape, false), TextEntryKey::None);
    entry.picker_open = false;
    EXPECT_EQ(text_entry_own_key(s, PartsView{}, vk::kEscape, false), TextEntryKey::None);
    EXPECT_EQ(text_entry_own_key(s, entry, vk::kEscape, false), TextEntryKey::Discard);
    EXPECT_EQ(text_entry_own_key(s, entry, vk::kReturn, true), TextEntryKey::Commit);
    EXPECT_EQ(text_entry_own_key(s, entry, vk::kReturn, false), TextEntryKey::None);  // a new line
    s.eyedropper_on = true;
    EXPECT_EQ(focus_on_activation(s, entry), KeyboardOwner::SessionWindow);
    EXPECT_EQ(text_entry_own_key(s, entry, vk::kEscape, false), TextEntryKey::None);
}

}  // namespace
}  // namespace kadrovix
