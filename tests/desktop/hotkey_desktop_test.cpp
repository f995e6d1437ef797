#include "desktop/desktop_fixture.h"
#include "platform/linux/x11_hotkey_source.h"
#include "support/test_env.h"
#include "system/hotkey_monitor.h"

#include <gtest/gtest.h>

using namespace zelk;
using HE = HotkeyMonitor::HotkeyEvent;

namespace {

// Qt key numbers as the test editor prints them.
const QString kKeyF2 = QStringLiteral("key 1000031");
const QString kKeyEscape = QStringLiteral("key 1000000");
const QString kKeyA = QStringLiteral("key 41");

class Hotkeys : public ::testing::Test {
protected:
    std::unique_ptr<test::LaunchedApp> editor;
    X11HotkeySource* source = nullptr; // owned by the monitor
    std::unique_ptr<HotkeyMonitor> monitor;
    QList<HE> events;
    int rawKeyDowns = 0;

    void SetUp() override {
        ZELK_SKIP_WITHOUT_DESKTOP(false);
        editor = std::make_unique<test::LaunchedApp>(test::testEditorPath(), QStringList{});
        ASSERT_TRUE(editor->waitUntilActive());
        // The window can be active before its field has the keyboard focus: wait until typing arrives.
        bool typing = false;
        for (int attempt = 0; attempt < 5 && !typing; ++attempt) {
            ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("a")}));
            typing = test::waitUntil([&] { return editor->output().contains(kKeyA); }, 1000);
        }
        ASSERT_TRUE(typing) << editor->output().toStdString();
        auto owned = std::make_unique<X11HotkeySource>();
        source = owned.get();
        monitor = std::make_unique<HotkeyMonitor>(std::move(owned));
        monitor->onEvent = [this](HE e) { events << e; };
    }

    // Presses `key`, then "a" as a marker: once the editor logged the marker,
    // everything sent before it has been delivered or taken.
    void pressThenMark(const QString& key) {
        const int before = editor->output().count(kKeyA);
        ASSERT_TRUE(test::xdotool({QStringLiteral("key"), key}));
        ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("a")}));
        ASSERT_TRUE(test::waitUntil([&] { return editor->output().count(kKeyA) > before; }))
            << editor->output().toStdString();
    }
};

TEST_F(Hotkeys, F2TogglesAndNeverReachesTheFocusedApp) {
    ASSERT_TRUE(monitor->start());
    pressThenMark(QStringLiteral("F2"));
    pressThenMark(QStringLiteral("ctrl+F2")); // held modifiers do not matter
    EXPECT_EQ(events, (QList<HE>{HE::toggle, HE::toggle}));
    EXPECT_FALSE(editor->output().contains(kKeyF2));
    // With the grab released by a key change, F2 reaches the editor again.
    monitor->setToggleKeyCode(122);
    pressThenMark(QStringLiteral("F2"));
    EXPECT_TRUE(editor->output().contains(kKeyF2));
    EXPECT_EQ(events, (QList<HE>{HE::toggle, HE::toggle}));
}

TEST_F(Hotkeys, HeldF2TogglesOnce) {
    // The source's own handler sees the repeats that the monitor drops.
    ASSERT_TRUE(source->install(
        [this](const GlobalKeySource::Event& e) {
            ++rawKeyDowns;
            return monitor->handle(e);
        },
        {120, 99}));
    ASSERT_TRUE(test::xdotool({QStringLiteral("keydown"), QStringLiteral("F2"), QStringLiteral("sleep"),
                               QStringLiteral("1"), QStringLiteral("keyup"), QStringLiteral("F2")}));
    pressThenMark(QStringLiteral("shift")); // flush
    EXPECT_GT(rawKeyDowns, 1) << "the server sent no auto-repeat";
    EXPECT_EQ(events, QList<HE>{HE::toggle});
}

TEST_F(Hotkeys, EscapeIsTakenOnlyWhileCapturing) {
    ASSERT_TRUE(monitor->start());
    pressThenMark(QStringLiteral("Escape"));
    EXPECT_TRUE(editor->output().contains(kKeyEscape));
    EXPECT_TRUE(events.isEmpty());

    monitor->setCapturingEscape(true);
    const int seen = editor->output().count(kKeyEscape);
    pressThenMark(QStringLiteral("Escape"));
    EXPECT_EQ(events, QList<HE>{HE::cancel});
    EXPECT_EQ(editor->output().count(kKeyEscape), seen);
}

TEST_F(Hotkeys, RightAltFiresOnPressAndStillReachesTheApp) {
    ASSERT_TRUE(monitor->start());
    if (!source->observesModifiers())
        GTEST_SKIP() << "the X server has no RECORD extension";
    monitor->setToggleKeyCode(61);
    const int before = editor->output().count(QStringLiteral("key "));
    pressThenMark(QStringLiteral("Alt_R"));
    EXPECT_EQ(events, QList<HE>{HE::toggle});
    // The editor saw the Alt press as well as the marker.
    EXPECT_GE(editor->output().count(QStringLiteral("key ")) - before, 2) << editor->output().toStdString();
}

TEST_F(Hotkeys, KeyHeldByAnotherProgramFailsUntilItExits) {
    test::LaunchedApp grabber(test::testEditorPath(), {QStringLiteral("--grab"), QStringLiteral("120")});
    ASSERT_TRUE(test::waitUntil([&] { return grabber.output().contains(QStringLiteral("grabbed")); }))
        << grabber.output().toStdString();
    EXPECT_FALSE(monitor->start());
    grabber.stop();
    EXPECT_TRUE(monitor->start());
    ASSERT_TRUE(editor->waitUntilActive());
    pressThenMark(QStringLiteral("F2"));
    EXPECT_EQ(events, QList<HE>{HE::toggle});
}

} // namespace
