#include "core/settings.h"
#include "core/text.h"
#include "fakes/fake_desktop.h"
#include "support/test_env.h"
#include "system/text_injector.h"

#include <gtest/gtest.h>

using namespace zelk;
using namespace std::chrono_literals;
namespace TI = TextInjector;

namespace {

struct SanitizeCase {
    const char* name;
    QString input;
    QString expected;
};

class Sanitize : public ::testing::TestWithParam<SanitizeCase> {};

TEST_P(Sanitize, StripsInvisibleAndControlCharacters) {
    EXPECT_EQ(TI::sanitize(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    TextInjector, Sanitize,
    ::testing::Values(
        SanitizeCase{"keepsLineCharacters", QString::fromUtf8("a\u200Bb\r\n\t"), QStringLiteral("ab\r\n\t")},
        SanitizeCase{"onlyInvisible", QString::fromUtf8("\u200B\u200B\uFEFF"), QString()},
        SanitizeCase{"bidiControls", QString::fromUtf8("\u202Ex\u2066y\u2069\u200Fz\u200E"), QStringLiteral("xyz")},
        SanitizeCase{"c0AndDelete", QStringLiteral("a") + QChar(0) + QChar(7) + QChar(0x1B) + QChar(0x7F) + "b",
                     QStringLiteral("ab")},
        SanitizeCase{"c1AndSoftHyphen", QString::fromUtf8("a\u0085b\u00ADc"), QStringLiteral("abc")},
        SanitizeCase{"visibleTextUntouched", QString::fromUtf8("Hello 你好世界 重庆银行 ✓ 🎤 e\u0301"),
                     QString::fromUtf8("Hello 你好世界 重庆银行 ✓ 🎤 e\u0301")}),
    [](const auto& info) { return info.param.name; });

TEST(TextInjectorSanitize, KeepsFirst20000CharactersWithoutSplittingAPair) {
    QString emoji;
    for (int i = 0; i < 25000; ++i)
        emoji += QString::fromUtf8("🎤");
    const QString out = TI::sanitize(emoji);
    EXPECT_EQ(text::graphemeCount(out), 20000);
    EXPECT_EQ(out.size(), 40000);
    const QString exact(20000, QLatin1Char('x'));
    EXPECT_EQ(TI::sanitize(exact), exact);
}

// A target app (pid 10, "Editor") whose field /field is focused in window /win.
class Deliver : public ::testing::Test {
protected:
    test::TestHome home;
    test::FakeDesktop d;
    QStringList events; // clipboard writes and keystrokes in order

    void SetUp() override {
        Settings::setPreferredLanguagesProvider([] { return QStringList{QStringLiteral("zh-Hans")}; });
        d.workspace.add(10, QStringLiteral("Editor"));
        d.workspace.add(20, QStringLiteral("Terminal"));
        d.workspace.front = 10;
        d.accessibility.elements[QStringLiteral("/field")] = test::FakeAccessibility::field(true, QStringLiteral("/win"));
        d.accessibility.elements[QStringLiteral("/other")] = test::FakeAccessibility::field(false, QStringLiteral("/win"));
        d.accessibility.elements[QStringLiteral("/win")] = test::FakeAccessibility::windowTitled(QStringLiteral("notes.txt"));
        d.accessibility.focused = QStringLiteral("/field");
        d.accessibility.focusedWindows[10] = QStringLiteral("/win");
        d.keys.onPaste = [this] { events << QStringLiteral("paste"); };
    }

    TargetSnapshot target() {
        auto snap = TargetSnapshot::capture(d.services);
        EXPECT_TRUE(snap);
        return *snap;
    }

    // Starts a delivery; the result is filled in when it finishes.
    std::shared_ptr<std::optional<TI::Outcome>> start(const QString& text, std::optional<TargetSnapshot> t) {
        auto result = std::make_shared<std::optional<TI::Outcome>>();
        spawn([=, this](CancellationToken) -> Task<void> {
            *result = co_await TI::deliver(d.services, text, t);
        });
        return result;
    }

    TI::Outcome run(const QString& text, std::optional<TargetSnapshot> t) {
        auto result = start(text, std::move(t));
        while (!*result && d.clock.advanceToNextDeadline()) {
        }
        EXPECT_TRUE(*result);
        return result->value_or(TI::Copied{QStringLiteral("<unfinished>")});
    }

    QString clipboardText() { return d.clipboard.text().value_or(QStringLiteral("<none>")); }
};

TEST_F(Deliver, PastesIntoTheFocusedTarget) {
    const auto t = target();
    EXPECT_EQ(run(QString::fromUtf8("你好\u200B世界"), t), TI::Outcome(TI::Pasted{QStringLiteral("Editor")}));
    EXPECT_EQ(d.clipboard.calls, (QStringList{QStringLiteral("clear"), QString::fromUtf8("setText 你好世界")}));
    EXPECT_EQ(d.keys.pastes, 1);
    EXPECT_EQ(d.clock.now(), Duration(0)); // no delay around the keystroke
}

TEST_F(Deliver, EmptyAfterSanitisingLeavesClipboardAlone) {
    d.clipboard.setText(QStringLiteral("user's"));
    d.clipboard.calls.clear();
    EXPECT_EQ(run(QString::fromUtf8("\u200B\uFEFF"), target()), TI::Outcome(TI::Copied{QStringLiteral("内容为空")}));
    EXPECT_TRUE(d.clipboard.calls.isEmpty());
    EXPECT_EQ(clipboardText(), QStringLiteral("user's"));
    EXPECT_EQ(d.keys.pastes, 0);
}

TEST_F(Deliver, WithoutTargetCopies) {
    EXPECT_EQ(run(QStringLiteral("hi"), std::nullopt), TI::Outcome(TI::Copied{QStringLiteral("未记录目标")}));
    EXPECT_EQ(clipboardText(), QStringLiteral("hi"));
    EXPECT_EQ(d.keys.pastes, 0);
}

TEST_F(Deliver, GoneOrTerminatedTargetCopies) {
    const auto t = target();
    d.workspace.running[10].isTerminated = true;
    EXPECT_EQ(run(QStringLiteral("hi"), t), TI::Outcome(TI::Copied{QStringLiteral("Editor 已退出")}));
    d.workspace.running.remove(10);
    EXPECT_EQ(run(QStringLiteral("hi"), t), TI::Outcome(TI::Copied{QStringLiteral("Editor 已退出")}));
    EXPECT_EQ(clipboardText(), QStringLiteral("hi"));
    EXPECT_EQ(d.keys.pastes, 0);
}

TEST_F(Deliver, ReactivatesTargetBehindAnotherAppAndPastesAfter220ms) {
    const auto t = target();
    d.workspace.front = 20;
    auto result = start(QStringLiteral("hi"), t);
    EXPECT_EQ(d.workspace.calls, QStringList{QStringLiteral("activate 10")});
    d.clock.advance(219ms);
    EXPECT_FALSE(*result);
    EXPECT_EQ(d.keys.pastes, 0);
    d.clock.advance(1ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, TI::Outcome(TI::Pasted{QStringLiteral("Editor")}));
}

struct ActivationCase {
    const char* name;
    bool accepts;
    bool comesToFront;
    bool diesWhileActivating;
    const char* reason;
};

class DeliverActivation : public Deliver, public ::testing::WithParamInterface<ActivationCase> {};

TEST_P(DeliverActivation, CopiesWhenTargetCannotBeReached) {
    const auto& c = GetParam();
    const auto t = target();
    d.workspace.front = 20;
    d.workspace.acceptsActivation = c.accepts;
    d.workspace.onActivate = [&](qint64 pid) {
        if (c.comesToFront)
            d.workspace.front = pid;
        if (c.diesWhileActivating)
            d.workspace.running.remove(pid);
    };
    EXPECT_EQ(run(QStringLiteral("hi"), t), TI::Outcome(TI::Copied{QString::fromUtf8(c.reason)}));
    EXPECT_EQ(clipboardText(), QStringLiteral("hi"));
    EXPECT_EQ(d.keys.pastes, 0);
}

INSTANTIATE_TEST_SUITE_P(TextInjector, DeliverActivation,
                         ::testing::Values(ActivationCase{"refused", false, false, false, "原窗口不可用"},
                                           ActivationCase{"staysBehind", true, false, false, "无法回到 Editor"},
                                           ActivationCase{"diesMidDelivery", true, false, true, "Editor 已退出"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(Deliver, TerminatedTargetBehindAnotherAppIsUnavailable) {
    const auto t = target();
    d.workspace.front = 20;
    d.workspace.running[10].isTerminated = true;
    // A terminated process validates as gone before any activation is tried.
    EXPECT_EQ(run(QStringLiteral("hi"), t), TI::Outcome(TI::Copied{QStringLiteral("Editor 已退出")}));
    EXPECT_TRUE(d.workspace.calls.isEmpty());
}

TEST_F(Deliver, RestoresMovedFocusThenPastes) {
    const auto t = target();
    d.accessibility.setFocused(test::FakeAccessibility::element(QStringLiteral("/other")));
    ASSERT_EQ(*d.accessibility.focused, QStringLiteral("/other"));
    auto result = start(QStringLiteral("hi"), t);
    EXPECT_TRUE(d.accessibility.calls.contains(QStringLiteral("setFocused /field")));
    EXPECT_TRUE(d.accessibility.calls.contains(QStringLiteral("raise /win")));
    d.clock.advance(149ms);
    EXPECT_FALSE(*result);
    d.clock.advance(1ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, TI::Outcome(TI::Pasted{QStringLiteral("Editor")}));
}

TEST_F(Deliver, FocusThatCannotBeRestoredCopiesInTheInterfaceLanguage) {
    const auto t = target();
    d.accessibility.setFocused(test::FakeAccessibility::element(QStringLiteral("/other")));
    d.accessibility.elements[QStringLiteral("/field")].acceptsFocus = false;
    EXPECT_EQ(run(QStringLiteral("hi"), t), TI::Outcome(TI::Copied{QStringLiteral("输入位置已变化")}));
    Settings::setPreferredLanguagesProvider([] { return QStringList{QStringLiteral("en-US")}; });
    EXPECT_EQ(run(QStringLiteral("hi"), t), TI::Outcome(TI::Copied{QStringLiteral("input focus moved")}));
    EXPECT_EQ(d.keys.pastes, 0);
}

TEST_F(Deliver, TargetWithoutRecordedElementPastesIntoWhateverHasFocus) {
    d.accessibility.focused.reset();
    const auto t = target();
    ASSERT_FALSE(t.focusedElement);
    d.accessibility.focused = QStringLiteral("/other");
    EXPECT_EQ(run(QStringLiteral("hi"), t), TI::Outcome(TI::Pasted{QStringLiteral("Editor")}));
}

TEST_F(Deliver, RefusedKeystrokeLeavesTextOnClipboard) {
    d.keys.canPost = false;
    EXPECT_EQ(run(QStringLiteral("hi"), target()),
              TI::Outcome(TI::Copied{QStringLiteral("粘贴事件被拒（检查辅助功能权限）")}));
    EXPECT_EQ(clipboardText(), QStringLiteral("hi"));
}

TEST_F(Deliver, LongTextIsCutTo20000Characters) {
    const QString text(25000, QLatin1Char('a'));
    EXPECT_EQ(run(text, target()), TI::Outcome(TI::Pasted{QStringLiteral("Editor")}));
    EXPECT_EQ(clipboardText().size(), 20000);
}

TEST(TextInjectorOutcome, HistoryWords) {
    EXPECT_EQ(TI::outcomeWord(TI::Pasted{QStringLiteral("x")}), QStringLiteral("pasted"));
    EXPECT_EQ(TI::outcomeWord(TI::Copied{QStringLiteral("x")}), QStringLiteral("copied"));
}

} // namespace
