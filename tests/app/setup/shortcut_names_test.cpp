#include "app/setup/shortcut_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kadrovix {
namespace {

// A stand-in layout that knows letters and digits only and records what it
// was asked, so the tests see which keys reach the layout at all.
struct FakeLayout {
    std::vector<std::uint32_t> asked;
    KeyNameLookup lookup() {
        return [this](std::uint32_t key) -> std::string {
            asked.push_back(key);
            if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, static_cast<char>(key));
            return {};
        };
    }
};

TEST(ShortcutNames, FixedTableNamesNeverAskTheLayout) {
    FakeLayout layout;
    const std::vector<std::pair<std::uint32_t, std::string>> table{
        {3, "Break"},         {8, "Backspace"},   {9, "Tab"},          {13, "Enter"},       {19, "Pause"},
        {20, "Caps Lock"},    {27, "Esc"},        {32, "Space"},       {33, "Page Up"},     {34, "Page Down"},
        {35, "End"},          {36, "Home"},       {37, "Left"},        {38, "Up"},          {39, "Right"},
        {40, "Down"},         {44, "Print Screen"}, {45, "Insert"},    {46, "Delete"},      {106, "Numpad *"},
        {107, "Numpad +"},    {109, "Numpad -"},  {110, "Numpad ."},   {111, "Numpad /"},   {144, "Num Lock"},
        {145, "Scroll Lock"},
    };
    for (const auto& [key, name] : table) EXPECT_EQ(key_name(key, layout.lookup()), name) << key;
    EXPECT_TRUE(layout.asked.empty());
}

TEST(ShortcutNames, NumpadDigitsAndFunctionKeysByRange) {
    FakeLayout layout;
    EXPECT_EQ(key_name(96, layout.lookup()), "Numpad 0");
    EXPECT_EQ(key_name(101, layout.lookup()), "Numpad 5");
    EXPECT_EQ(key_name(105, layout.lookup()), "Numpad 9");
    EXPECT_EQ(key_name(112, layout.lookup()), "F1");
    EXPECT_EQ(key_name(123, layout.lookup()), "F12");
    EXPECT_EQ(key_name(135, layout.lookup()), "F24");
    EXPECT_TRUE(layout.asked.empty());
    // Just outside the ranges the layout is asked.
    EXPECT_EQ(key_name(108, layout.lookup()), "Key 0x6C");  // numpad separator
    EXPECT_EQ(key_name(136, layout.lookup()), "Key 0x88");
    EXPECT_EQ(layout.asked, (std::vector<std::uint32_t>{108, 136}));
}

TEST(ShortcutNames, LayoutNameThenUpperCaseHexFallback) {
    FakeLayout layout;
    EXPECT_EQ(key_name(0x43, layout.lookup()), "C");
    EXPECT_EQ(key_name(0x37, layout.lookup()), "7");
    EXPECT_EQ(key_name(0xBA, layout.lookup()), "Key 0xBA");
    EXPECT_EQ(key_name(0xFE, layout.lookup()), "Key 0xFE");
    EXPECT_EQ(key_name(0x0A, layout.lookup()), "Key 0xA");
    EXPECT_EQ(key_name(0x43, KeyNameLookup{}), "Key 0x43");  // no layout at all
}

TEST(ShortcutNames, ModifiersInFixedOrderJoinedWithSpacedPlus) {
    FakeLayout layout;
    EXPECT_EQ(shortcut_name(3, 0x43, layout.lookup()), "Ctrl + Alt + C");
    EXPECT_EQ(shortcut_name(kModCtrl | kModShift, 'S', layout.lookup()), "Ctrl + Shift + S");
    EXPECT_EQ(shortcut_name(15, 44, layout.lookup()), "Ctrl + Shift + Alt + Win + Print Screen");
    EXPECT_EQ(shortcut_name(kModWin | kModAlt, 112, layout.lookup()), "Alt + Win + F1");
    EXPECT_EQ(shortcut_name(0, 19, layout.lookup()), "Pause");
    EXPECT_EQ(shortcut_name(Shortcut{kModShift, 0xBA}, layout.lookup()), "Shift + Key 0xBA");
}

}  // namespace
}  // namespace kadrovix
