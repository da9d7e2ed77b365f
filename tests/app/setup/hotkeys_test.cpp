#include "app/setup/hotkeys.h"

#include <gtest/gtest.h>

#include <vector>

namespace kadrovix {
namespace {

Settings with_capture(std::uint32_t modifiers, std::uint32_t key) {
    Settings s = default_settings();
    s.capture_modifiers = modifiers;
    s.capture_key = key;
    return s;
}

TEST(CaptureHotkeyIds, AlternateBetweenOneAndTwo) {
    bool registered = false;
    int id = 0;
    // Start, then two changes: 1, 2, and back on 1.
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        id = next_capture_hotkey_id(registered, id);
        registered = true;
        seen.push_back(id);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 1}));
    // A registration that was lost starts over on 1 whatever id it held.
    EXPECT_EQ(next_capture_hotkey_id(false, 1), 1);
    EXPECT_EQ(next_capture_hotkey_id(false, 2), 1);
}

TEST(CaptureCandidate, PresentationCombinationsAreRefused) {
    const Settings s = with_capture(kModCtrl | kModShift, 'S');
    // Alt+F, Alt+R, Alt+C are the default shapes.
    EXPECT_EQ(check_capture_candidate(s, true, {kModAlt, 'F'}), CaptureCandidateCheck::UsedByPresentation);
    EXPECT_EQ(check_capture_candidate(s, true, {kModAlt, 'R'}), CaptureCandidateCheck::UsedByPresentation);
    EXPECT_EQ(check_capture_candidate(s, true, {kModAlt, 'C'}), CaptureCandidateCheck::UsedByPresentation);
    EXPECT_EQ(check_capture_candidate(s, false, {3, 27}), CaptureCandidateCheck::UsedByPresentation);
    // Near misses are fine.
    EXPECT_EQ(check_capture_candidate(s, true, {kModCtrl, 'F'}), CaptureCandidateCheck::Register);
    EXPECT_EQ(check_capture_candidate(s, true, {kModCtrl, 27}), CaptureCandidateCheck::Register);
    EXPECT_EQ(check_capture_candidate(s, true, {0, 44}), CaptureCandidateCheck::Register);
}

TEST(CaptureCandidate, UnchangedOnlyWhileRegistered) {
    const Settings s = with_capture(kModCtrl | kModShift, 'S');
    EXPECT_EQ(check_capture_candidate(s, true, {kModCtrl | kModShift, 'S'}), CaptureCandidateCheck::Unchanged);
    // Refused at start: the same combination must be tried again.
    EXPECT_EQ(check_capture_candidate(s, false, {kModCtrl | kModShift, 'S'}), CaptureCandidateCheck::Register);
    EXPECT_EQ(check_capture_candidate(s, true, {kModCtrl, 'S'}), CaptureCandidateCheck::Register);

    const Settings moved = with_capture_shortcut(s, {0, 44});
    EXPECT_EQ(moved.capture_modifiers, 0u);
    EXPECT_EQ(moved.capture_key, 44u);
    EXPECT_EQ(moved.shape_shortcuts, s.shape_shortcuts);
}

TEST(CaptureCandidate, RegistrationFailureShowsSignedDecimalCode) {
    EXPECT_EQ(capture_registration_failure_message(static_cast<std::int32_t>(0x80070581)),
              "Unable to register this shortcut (-2147023487). It may be reserved or already in use.");
    EXPECT_EQ(capture_registration_failure_message(0),
              "Unable to register this shortcut (0). It may be reserved or already in use.");
    EXPECT_EQ(capture_registration_failure_message(5),
              "Unable to register this shortcut (5). It may be reserved or already in use.");
}

TEST(ShapeCandidate, RuleThenCaptureCollision) {
    const Settings s = with_capture(kModCtrl | kModShift, 'S');
    auto ok = shape_candidate_settings(s, shape_slot(PanelPage::Rectangle), {kModCtrl | kModShift, 'Q'});
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(ok->shape_shortcuts[1], (ShapeShortcut{kModCtrl | kModShift, 'Q'}));
    EXPECT_EQ(ok->shape_shortcuts[0], s.shape_shortcuts[0]);
    EXPECT_EQ(ok->shape_shortcuts[2], s.shape_shortcuts[2]);

    const auto error = [&](PanelPage page, Shortcut c) {
        auto r = shape_candidate_settings(s, shape_slot(page), c);
        return r.has_value() ? std::string("accepted") : shape_failure_message(r.error());
    };
    EXPECT_EQ(error(PanelPage::Arrow, {kModCtrl | kModShift, 'S'}),
              "Shortcut unavailable or invalid: This combination is already used for capture.");
    EXPECT_EQ(error(PanelPage::Ellipse, {kModAlt, 'F'}), "Shortcut unavailable or invalid: Duplicate shape shortcut");
    EXPECT_EQ(error(PanelPage::Arrow, {kModShift, 'F'}),
              "Shortcut unavailable or invalid: Choose a shortcut with Ctrl or Alt to avoid triggering shapes while "
              "typing.");
    EXPECT_EQ(error(PanelPage::Rectangle, {3, 27}), "Shortcut unavailable or invalid: Ctrl+Alt+Escape is reserved");
    // Re-saving a shape's own shortcut is no duplicate.
    EXPECT_EQ(error(PanelPage::Ellipse, {kModAlt, 'C'}), "accepted");
}

TEST(ShapeCandidate, ShapeRuleWinsOverCaptureCollision) {
    // A candidate that is both the capture shortcut and lacks Ctrl/Alt reports
    // the shape rule, which is checked first.
    const Settings s = with_capture(0, 44);
    auto r = shape_candidate_settings(s, 0, {0, 44});
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error(), "Choose a shortcut with Ctrl or Alt to avoid triggering shapes while typing.");
    EXPECT_EQ(shape_slot(PanelPage::Arrow), 0u);
    EXPECT_EQ(shape_slot(PanelPage::Ellipse), 2u);
}

}  // namespace
}  // namespace kadrovix
