#include "app/setup/tray_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "presentation/presentation_state.h"

using namespace kadrovix;

namespace {

std::vector<std::uint32_t> ids_of(const std::vector<TrayMenuItem>& items) {
    std::vector<std::uint32_t> ids;
    for (const auto& item : items) ids.push_back(item.id);
    return ids;
}

const TrayMenuItem& find_item(const TrayMenuModel& model, std::uint32_t id) {
    for (const auto* list : {&model.items, &model.duration_items}) {
        auto it = std::find_if(list->begin(), list->end(), [&](const TrayMenuItem& i) { return i.id == id; });
        if (it != list->end()) return *it;
    }
    static const TrayMenuItem missing{};
    ADD_FAILURE() << "no item " << id;
    return missing;
}

}  // namespace

TEST(TrayMenuModel, ItemsInOrderWithKindsAndTexts) {
    const TrayMenuModel model = build_tray_menu(TrayMenuInputs{});
    EXPECT_EQ(ids_of(model.items),
              (std::vector<std::uint32_t>{1, 2, 0, 101, 102, 103, 0, 110, 111, 112, 0, 120, 5, 4, 0, 3}));
    EXPECT_EQ(ids_of(model.duration_items), (std::vector<std::uint32_t>{121, 122, 123}));

    const std::vector<TrayMenuItemKind> kinds = {
        TrayMenuItemKind::Item, TrayMenuItemKind::Item, TrayMenuItemKind::OwnerSeparator,
        TrayMenuItemKind::Item, TrayMenuItemKind::Item, TrayMenuItemKind::Item, TrayMenuItemKind::StandardSeparator,
        TrayMenuItemKind::Item, TrayMenuItemKind::Item, TrayMenuItemKind::Item, TrayMenuItemKind::StandardSeparator,
        TrayMenuItemKind::Submenu, TrayMenuItemKind::Item, TrayMenuItemKind::Item, TrayMenuItemKind::OwnerSeparator,
        TrayMenuItemKind::Item};
    ASSERT_EQ(model.items.size(), kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(model.items[i].kind, kinds[i]) << "position " << i;

    EXPECT_EQ(find_item(model, 1).text, "Take a screenshot");
    EXPECT_EQ(find_item(model, 2).text, "Capture shortcut\u2026");
    EXPECT_EQ(find_item(model, 3).text, "Quit Kadrovix");
    EXPECT_EQ(find_item(model, 4).text, "Start with Windows");
    EXPECT_EQ(find_item(model, 5).text, "Live capture by default");
    EXPECT_EQ(find_item(model, 103).text, "Show keyboard and mouse");
    EXPECT_EQ(find_item(model, 110).text, "Arrow\tAlt+F");
    EXPECT_EQ(find_item(model, 111).text, "Rectangle\tAlt+R");
    EXPECT_EQ(find_item(model, 112).text, "Ellipse\tAlt+C");
    EXPECT_EQ(find_item(model, 120).text, "Shape duration");
    EXPECT_EQ(find_item(model, 121).text, "1 second");
    EXPECT_EQ(find_item(model, 123).text, "5 seconds");
}

TEST(TrayMenuModel, CheckMarksFollowTheInputs) {
    TrayMenuInputs in;
    EXPECT_TRUE(std::none_of(build_tray_menu(in).items.begin(), build_tray_menu(in).items.end(),
                             [](const TrayMenuItem& i) { return i.checked; }));

    in.features = kFeaturePointerHalo | kFeatureInputDisplay;
    in.live_capture = true;
    in.run_value_exists = true;
    in.shape_duration_ms = 5000;
    TrayMenuModel model = build_tray_menu(in);
    EXPECT_TRUE(find_item(model, 101).checked);
    EXPECT_FALSE(find_item(model, 102).checked);
    EXPECT_TRUE(find_item(model, 103).checked);
    EXPECT_TRUE(find_item(model, 5).checked);
    EXPECT_TRUE(find_item(model, 4).checked);
    EXPECT_FALSE(find_item(model, 121).checked);
    EXPECT_FALSE(find_item(model, 122).checked);
    EXPECT_TRUE(find_item(model, 123).checked);

    in.features = kFeatureTemporaryShapes;
    in.shape_duration_ms = 1000;
    model = build_tray_menu(in);
    EXPECT_FALSE(find_item(model, 101).checked);
    EXPECT_TRUE(find_item(model, 102).checked);
    EXPECT_TRUE(find_item(model, 121).checked);
    EXPECT_FALSE(find_item(model, 123).checked);

    // A duration the menu does not offer checks nothing.
    in.shape_duration_ms = 2000;
    model = build_tray_menu(in);
    for (const auto& item : model.duration_items) EXPECT_FALSE(item.checked) << item.id;
}

TEST(TrayMenuItemData, ShapeItemsCarryTheirShortcutAndHookMark) {
    TrayMenuInputs in;
    in.shape_shortcuts = {{{1, 0x46}, {2 | 4, 0x52}, {8 | 1, 0xDE}}};
    in.hook_priority = {false, true, false};
    const TrayMenuModel model = build_tray_menu(in);
    EXPECT_EQ(find_item(model, 110).data, 0x0046'0001u);
    EXPECT_EQ(find_item(model, 111).data, 0x8052'0006u);
    EXPECT_EQ(find_item(model, 112).data, 0x00DE'0009u);
    for (std::uint32_t id : {1u, 2u, 101u, 120u, 121u, 3u}) EXPECT_EQ(find_item(model, id).data, 0u) << id;

    EXPECT_EQ(unpack_shortcut_item_data(0x8052'0006u), (ShortcutItemData{Shortcut{6, 0x52}, true}));
    EXPECT_EQ(unpack_shortcut_item_data(0x00DE'0009u), (ShortcutItemData{Shortcut{9, 0xDE}, false}));
    // Round trip over every modifier set and the corners of the key range.
    for (std::uint32_t mods = 0; mods < 16; ++mods) {
        for (std::uint32_t key : {1u, 0x41u, 0xFEu, 0xFFu}) {
            for (bool hook : {false, true}) {
                const auto data = pack_shortcut_item_data(Shortcut{mods, key}, hook);
                EXPECT_EQ(unpack_shortcut_item_data(data), (ShortcutItemData{Shortcut{mods, key}, hook}));
                EXPECT_EQ(data & 0x7F00'0000u, 0u);
            }
        }
    }
    // Values outside their fields do not leak into the neighbours.
    EXPECT_EQ(pack_shortcut_item_data(Shortcut{0x1'0003, 0x1'41}, false), 0x0041'0003u);
}

TEST(TrayMenuText, SplitsAtTheFirstTab) {
    auto t = split_menu_text(std::string_view("Arrow\tAlt+F"));
    EXPECT_EQ(t.label, "Arrow");
    EXPECT_EQ(t.accelerator, "Alt+F");
    t = split_menu_text(std::string_view("Quit Kadrovix"));
    EXPECT_EQ(t.label, "Quit Kadrovix");
    EXPECT_TRUE(t.accelerator.empty());
    t = split_menu_text(std::string_view("a\tb\tc"));
    EXPECT_EQ(t.label, "a");
    EXPECT_EQ(t.accelerator, "b\tc");
    auto w = split_menu_text(std::wstring_view(L"Ellipse\tAlt+C"));
    EXPECT_EQ(w.label, L"Ellipse");
    EXPECT_EQ(w.accelerator, L"Alt+C");
}

TEST(TrayMenuText, AcceleratorIsCompactAndMarksHookShortcuts) {
    EXPECT_EQ(menu_accelerator_text("Alt + F", false), "Alt+F");
    EXPECT_EQ(menu_accelerator_text("Ctrl + Shift + Alt + Win + F", false), "Ctrl+Shift+Alt+Win+F");
    EXPECT_EQ(menu_accelerator_text("Ctrl + Alt + R", true), "Ctrl+Alt+R (in use)");
    // A key named after the plus sign keeps it; only the separators shrink.
    EXPECT_EQ(menu_accelerator_text("Ctrl + Numpad +", false), "Ctrl+Numpad +");
    EXPECT_EQ(menu_accelerator_text("Alt + +", false), "Alt++");
    EXPECT_EQ(menu_accelerator_text("Print Screen", true), "Print Screen (in use)");
}

TEST(TrayMenuCommands, MapsEveryIdToItsAction) {
    EXPECT_EQ(tray_command(1, false).action, TrayAction::StartCapture);
    EXPECT_EQ(tray_command(3, false).action, TrayAction::Quit);
    EXPECT_EQ(tray_command(4, false).action, TrayAction::ToggleStartWithWindows);
    EXPECT_EQ(tray_command(5, false).action, TrayAction::ToggleLiveCapture);
    EXPECT_EQ(tray_command(0, false).action, TrayAction::Nothing);
    EXPECT_EQ(tray_command(120, false).action, TrayAction::Nothing);
    EXPECT_EQ(tray_command(104, false).action, TrayAction::Nothing);

    const std::pair<std::uint32_t, PanelPage> pages[] = {
        {2, PanelPage::Capture}, {110, PanelPage::Arrow}, {111, PanelPage::Rectangle}, {112, PanelPage::Ellipse}};
    for (auto [id, page] : pages) {
        const TrayCommand c = tray_command(id, false);
        EXPECT_EQ(c.action, TrayAction::OpenPanel) << id;
        EXPECT_EQ(c.page, page) << id;
    }
    const std::pair<std::uint32_t, std::uint32_t> features[] = {
        {101, kFeaturePointerHalo}, {102, kFeatureTemporaryShapes}, {103, kFeatureInputDisplay}};
    for (auto [id, bit] : features) {
        const TrayCommand c = tray_command(id, false);
        EXPECT_EQ(c.action, TrayAction::ToggleFeature) << id;
        EXPECT_EQ(c.feature, bit) << id;
    }
    const std::pair<std::uint32_t, std::uint32_t> durations[] = {{121, 1000}, {122, 3000}, {123, 5000}};
    for (auto [id, ms] : durations) {
        const TrayCommand c = tray_command(id, false);
        EXPECT_EQ(c.action, TrayAction::SetShapeDuration) << id;
        EXPECT_EQ(c.duration_ms, ms) << id;
    }
}

TEST(TrayMenuCommands, PresentationCommandsAreRefusedWhileAnEditorRuns) {
    for (std::uint32_t id : {101u, 102u, 103u, 110u, 111u, 112u, 121u, 122u, 123u}) {
        EXPECT_EQ(tray_command(id, true).action, TrayAction::RefuseWhileEditing) << id;
    }
    EXPECT_EQ(tray_command(1, true).action, TrayAction::StartCapture);
    EXPECT_EQ(tray_command(2, true).action, TrayAction::OpenPanel);
    EXPECT_EQ(tray_command(3, true).action, TrayAction::Quit);
    EXPECT_EQ(tray_command(4, true).action, TrayAction::ToggleStartWithWindows);
    EXPECT_EQ(tray_command(5, true).action, TrayAction::ToggleLiveCapture);
    EXPECT_EQ(tray_command(0, true).action, TrayAction::Nothing);
    EXPECT_EQ(kPresentationBusyMessage, "Finish the current capture before changing presentation settings.");
}

TEST(TrayMenuMeasure, SizesPerIdAt96And144Dpi) {
    EXPECT_EQ(tray_menu_item_size(1, 96), (MenuItemSize{280, 28}));
    EXPECT_EQ(tray_menu_item_size(0, 96), (MenuItemSize{280, 8}));
    EXPECT_EQ(tray_menu_item_size(101, 96), (MenuItemSize{360, 28}));
    EXPECT_EQ(tray_menu_item_size(120, 96), (MenuItemSize{360, 28}));
    EXPECT_EQ(tray_menu_item_size(121, 96), (MenuItemSize{156, 28}));
    EXPECT_EQ(tray_menu_item_size(123, 96), (MenuItemSize{156, 28}));
    EXPECT_EQ(tray_menu_item_size(100, 96), (MenuItemSize{280, 28}));
    EXPECT_EQ(tray_menu_item_size(124, 96), (MenuItemSize{280, 28}));

    EXPECT_EQ(tray_menu_item_size(3, 144), (MenuItemSize{420, 42}));
    EXPECT_EQ(tray_menu_item_size(0, 144), (MenuItemSize{420, 12}));
    EXPECT_EQ(tray_menu_item_size(112, 144), (MenuItemSize{540, 42}));
    EXPECT_EQ(tray_menu_item_size(122, 144), (MenuItemSize{234, 42}));
    EXPECT_EQ(tray_menu_item_size(4, 120), (MenuItemSize{350, 35}));
    EXPECT_EQ(tray_menu_item_size(0, 120), (MenuItemSize{350, 10}));
    // Fractions are cut: 280, 28 and 8 units at 110 DPI are 320.8, 32.08 and 9.17 pixels.
    EXPECT_EQ(tray_menu_item_size(1, 110), (MenuItemSize{320, 32}));
    EXPECT_EQ(tray_menu_item_size(0, 110), (MenuItemSize{320, 9}));
    // A DPI the system reports as 0 or below 96 counts as 96.
    EXPECT_EQ(tray_menu_item_size(1, 0), (MenuItemSize{280, 28}));
    EXPECT_EQ(tray_menu_item_size(0, 72), (MenuItemSize{280, 8}));
}

TEST(TrayMenuTip, FitsTheFieldWithoutSplittingACharacter) {
    EXPECT_EQ(fit_text_field(u"Kadrovix \u2014 capture and annotate", 128), u"Kadrovix \u2014 capture and annotate");
    const std::u16string long_text(200, u'x');
    EXPECT_EQ(fit_text_field(long_text, 128), std::u16string(127, u'x'));
    // A pair of surrogates straddling the cut is dropped whole.
    std::u16string pair_at_cut = std::u16string(126, u'a') + u"\U0001F4F7" + u"b";
    EXPECT_EQ(fit_text_field(pair_at_cut, 128), std::u16string(126, u'a'));
    std::u16string pair_before_cut = std::u16string(125, u'a') + u"\U0001F4F7" + u"bb";
    EXPECT_EQ(fit_text_field(pair_before_cut, 128), std::u16string(125, u'a') + u"\U0001F4F7");
    EXPECT_EQ(fit_text_field(u"abc", 1), u"");
    EXPECT_EQ(fit_text_field(u"abc", 0), u"");
}
