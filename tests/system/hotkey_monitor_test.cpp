#include "core/settings.h"
#include "fakes/fake_global_key_source.h"
#include "support/test_env.h"
#include "system/hotkey_monitor.h"
#include "system/hotkey_option.h"

#include <gtest/gtest.h>

using namespace zelk;
using Disposition = GlobalKeySource::Disposition;
using HE = HotkeyMonitor::HotkeyEvent;

namespace {

constexpr int F2 = 120, F3 = 99, Esc = 53, CapsLock = 57, LeftAlt = 58, RightAlt = 61;
constexpr quint64 altFlag = 0x80000;

class Monitor : public ::testing::Test {
protected:
    std::unique_ptr<test::FakeGlobalKeySource> owned = std::make_unique<test::FakeGlobalKeySource>();
    test::FakeGlobalKeySource& source = *owned;
    HotkeyMonitor monitor{std::move(owned)};
    QList<HE> events;

    void SetUp() override {
        monitor.onEvent = [this](HE e) { events << e; };
        ASSERT_TRUE(monitor.start());
    }
};

TEST_F(Monitor, DefaultKeysToggleAndAreSwallowed) {
    EXPECT_EQ(source.keyDown(F2), Disposition::swallow);
    EXPECT_EQ(source.keyDown(F3), Disposition::swallow);
    EXPECT_EQ(source.keyDown(12), Disposition::pass);
    // Held modifiers are not looked at: Ctrl+F2 is F2.
    EXPECT_EQ(source.send({GlobalKeySource::Event::Type::keyDown, F2, false, 0x40000}), Disposition::swallow);
    EXPECT_EQ(events, (QList<HE>{HE::toggle, HE::toggleAsk, HE::toggle}));
    EXPECT_EQ(source.grabbed, (QSet<int>{F2, F3}));
}

TEST_F(Monitor, HeldKeyTogglesOnce) {
    source.keyDown(F2);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(source.keyDown(F2, true), Disposition::swallow);
    source.keyDown(F3);
    EXPECT_EQ(source.keyDown(F3, true), Disposition::swallow);
    EXPECT_EQ(events, (QList<HE>{HE::toggle, HE::toggleAsk}));
}

TEST_F(Monitor, EscapeOnlyWhileCapturing) {
    EXPECT_EQ(source.keyDown(Esc), Disposition::pass);
    EXPECT_FALSE(source.grabbed.contains(Esc));
    monitor.setCapturingEscape(true);
    EXPECT_TRUE(source.grabbed.contains(Esc));
    EXPECT_EQ(source.keyDown(Esc), Disposition::swallow);
    monitor.setCapturingEscape(false);
    EXPECT_FALSE(source.grabbed.contains(Esc));
    EXPECT_EQ(source.keyDown(Esc), Disposition::pass);
    EXPECT_EQ(events, QList<HE>{HE::cancel});
}

TEST_F(Monitor, RightAltFiresOnPressOnlyAndIsNeverSwallowed) {
    monitor.setToggleKeyCode(RightAlt);
    EXPECT_EQ(source.grabbed, QSet<int>{F3}); // a modifier is observed, not grabbed
    EXPECT_EQ(source.flagsChanged(RightAlt, altFlag), Disposition::pass);
    EXPECT_EQ(source.flagsChanged(RightAlt, 0), Disposition::pass);
    EXPECT_EQ(source.flagsChanged(LeftAlt, altFlag), Disposition::pass);
    EXPECT_EQ(source.keyDown(RightAlt), Disposition::pass);
    EXPECT_EQ(events, QList<HE>{HE::toggle});
}

TEST_F(Monitor, ModifierAskKey) {
    monitor.setAskKeyCode(62);
    source.flagsChanged(62, 0x40000);
    EXPECT_EQ(events, QList<HE>{HE::toggleAsk});
}

TEST_F(Monitor, SameCodeForBothKeysOnlyToggles) {
    monitor.setAskKeyCode(F2);
    source.keyDown(F2);
    monitor.setToggleKeyCode(RightAlt);
    monitor.setAskKeyCode(RightAlt);
    source.flagsChanged(RightAlt, altFlag);
    EXPECT_EQ(events, (QList<HE>{HE::toggle, HE::toggle}));
}

TEST_F(Monitor, CapsLockIsAnOrdinaryKey) {
    monitor.setToggleKeyCode(CapsLock);
    EXPECT_TRUE(source.grabbed.contains(CapsLock));
    EXPECT_EQ(source.flagsChanged(CapsLock, 0x10000), Disposition::pass);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(source.keyDown(CapsLock), Disposition::swallow);
    EXPECT_EQ(events, QList<HE>{HE::toggle});
}

TEST_F(Monitor, KeyChangeTakesEffectWithoutReinstalling) {
    monitor.setToggleKeyCode(122);
    EXPECT_EQ(source.grabbed, (QSet<int>{122, F3}));
    EXPECT_EQ(source.keyDown(F2), Disposition::pass);
    EXPECT_EQ(source.keyDown(122), Disposition::swallow);
    EXPECT_EQ(events, QList<HE>{HE::toggle});
    EXPECT_TRUE(monitor.start());
    EXPECT_EQ(source.installs, 1);
}

TEST(HotkeyMonitorStart, FailsWhileKeyIsHeldElsewhereThenSucceeds) {
    auto owned = std::make_unique<test::FakeGlobalKeySource>();
    test::FakeGlobalKeySource& source = *owned;
    source.heldByOthers = {120};
    HotkeyMonitor monitor(std::move(owned));
    EXPECT_FALSE(monitor.start());
    EXPECT_FALSE(source.isInstalled());
    source.heldByOthers.clear();
    EXPECT_TRUE(monitor.start());
    EXPECT_EQ(source.grabbed, (QSet<int>{120, 99}));
}

TEST(HotkeyOption, Labels) {
    test::TestHome home;
    EXPECT_EQ(HotkeyOption::all().size(), 16);
    EXPECT_EQ(HotkeyOption::all().at(1), (HotkeyOption::Option{120, QStringLiteral("F2")}));
    EXPECT_EQ(HotkeyOption::label(13), QStringLiteral("键 13"));
    EXPECT_EQ(HotkeyOption::label(54), QStringLiteral("右 Super"));
    Settings::setPreferredLanguagesProvider([] { return QStringList{QStringLiteral("en-US")}; });
    EXPECT_EQ(HotkeyOption::displayLabel(62), QStringLiteral("Right Control"));
    EXPECT_EQ(HotkeyOption::displayLabel(61), QStringLiteral("Right Alt"));
    EXPECT_EQ(HotkeyOption::displayLabel(120), QStringLiteral("F2"));
    EXPECT_EQ(HotkeyOption::displayLabel(13), QStringLiteral("键 13"));
    Settings::setPreferredLanguagesProvider([] { return QStringList{QStringLiteral("zh-Hans")}; });
    EXPECT_EQ(HotkeyOption::displayLabel(62), QStringLiteral("右 Control"));
}

TEST(HotkeyOption, ModifierFlags) {
    const QList<std::pair<int, quint64>> table{{54, 0x100000}, {55, 0x100000}, {56, 0x20000}, {60, 0x20000},
                                               {58, 0x80000},  {61, 0x80000},  {59, 0x40000}, {62, 0x40000},
                                               {57, 0},        {53, 0},        {120, 0},      {63, 0}};
    for (const auto& [code, flag] : table) {
        EXPECT_EQ(HotkeyOption::modifierFlag(code), flag) << code;
        EXPECT_EQ(HotkeyOption::isModifier(code), flag != 0) << code;
    }
}

} // namespace
