#include "desktop/desktop_fixture.h"
#include "support/test_env.h"
#include "system/text_injector.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zelk;
namespace TI = TextInjector;

namespace {

const QString kMixed = QString::fromUtf8("Hello 你好世界 重庆银行 ✓ 🎤");

class Injection : public ::testing::Test {
protected:
    std::unique_ptr<test::RealDesktop> d;

    void SetUp() override {
        ZELK_SKIP_WITHOUT_DESKTOP(true);
        d = std::make_unique<test::RealDesktop>();
    }

    std::unique_ptr<test::LaunchedApp> launchMousepad() {
        auto app = test::launchMousepad();
        EXPECT_TRUE(app->waitUntilActive()) << "mousepad did not come to the front: " << app->output().toStdString();
        EXPECT_TRUE(test::waitForFocusedElement(d->accessibility)) << "mousepad exposes no focused element";
        return app;
    }
    std::unique_ptr<test::LaunchedApp> launchEditor(const QStringList& args = {}) {
        auto app = std::make_unique<test::LaunchedApp>(test::testEditorPath(), args);
        EXPECT_TRUE(app->waitUntilActive()) << "the test editor did not come to the front";
        EXPECT_TRUE(test::waitForFocusedElement(d->accessibility)) << "the test editor exposes no focused element";
        return app;
    }

    TI::Outcome deliver(const QString& text, std::optional<TargetSnapshot> target) {
        std::optional<TI::Outcome> outcome;
        spawn([&](CancellationToken) -> Task<void> { outcome = co_await TI::deliver(d->services, text, target); });
        EXPECT_TRUE(test::waitUntil([&] { return outcome.has_value(); }, 5000));
        return outcome.value_or(TI::Copied{QStringLiteral("<unfinished>")});
    }

    // Waits until the field reads `expected`. The target first fetches the
    // clipboard from us: a Qt target answers no accessibility call until it
    // has it, so serve it before asking.
    bool fieldReads(const AccessibleElement& field, const QString& expected) {
        test::serveEventsFor(300);
        return test::waitUntil([&] { return d->accessibility.value(field) == expected; }, 5000);
    }
};

TEST_F(Injection, MixedScriptTextReachesMousepadByteExact) {
    auto mousepad = launchMousepad();
    const auto target = TargetSnapshot::capture(d->services);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->pid, mousepad->pid());
    ASSERT_TRUE(target->focusedElement);
    EXPECT_EQ(deliver(kMixed, target), TI::Outcome(TI::Pasted{target->appName}));
    ASSERT_TRUE(fieldReads(*target->focusedElement, kMixed));
    EXPECT_EQ(d->accessibility.value(*target->focusedElement)->toUtf8(), kMixed.toUtf8());
    EXPECT_EQ(target->focusedFieldText(), kMixed);
}

TEST_F(Injection, TrustPromptTurnsAccessibilityOn) {
    QProcess::execute(QStringLiteral("gdbus"),
                      {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("-d"), QStringLiteral("org.a11y.Bus"),
                       QStringLiteral("-o"), QStringLiteral("/org/a11y/bus"), QStringLiteral("-m"),
                       QStringLiteral("org.freedesktop.DBus.Properties.Set"), QStringLiteral("org.a11y.Status"),
                       QStringLiteral("IsEnabled"), QStringLiteral("<false>")});
    EXPECT_FALSE(d->accessibility.isTrusted(false));
    EXPECT_FALSE(d->accessibility.isTrusted(true));
    EXPECT_TRUE(d->accessibility.isTrusted(false));
}

TEST_F(Injection, LongTextArrivesCutTo20000Characters) {
    auto mousepad = launchMousepad();
    const auto target = TargetSnapshot::capture(d->services);
    ASSERT_TRUE(target && target->focusedElement);
    QString text;
    while (text.size() < 25000)
        text += QString::fromUtf8("重庆银行 ok ");
    EXPECT_EQ(deliver(text, target), TI::Outcome(TI::Pasted{target->appName}));
    EXPECT_TRUE(fieldReads(*target->focusedElement, text.left(20000)));
    EXPECT_EQ(target->focusedFieldText(), text.left(20000));
}

TEST_F(Injection, InvisibleTextIsNotDeliveredAndClipboardKept) {
    auto mousepad = launchMousepad();
    const auto target = TargetSnapshot::capture(d->services);
    d->clipboard.setText(QStringLiteral("keep me"));
    EXPECT_EQ(deliver(QString::fromUtf8("\u200B\u200D\uFEFF\u2066"), target),
              TI::Outcome(TI::Copied{QStringLiteral("内容为空")}));
    EXPECT_EQ(d->clipboard.text(), QStringLiteral("keep me"));
    ASSERT_TRUE(target && target->focusedElement);
    test::serveEventsFor(200);
    EXPECT_EQ(d->accessibility.value(*target->focusedElement), QString());
}

TEST_F(Injection, FocusMovedToAnotherFieldIsRestored) {
    auto editor = launchEditor();
    const auto target = TargetSnapshot::capture(d->services);
    ASSERT_TRUE(target && target->focusedElement);
    ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("Tab")}));
    std::optional<AccessibleElement> second;
    ASSERT_TRUE(test::waitUntil([&] {
        second = d->accessibility.focusedElement();
        return second && !(*second == *target->focusedElement);
    }));
    EXPECT_EQ(target->validate(), TargetSnapshot::Validity(TargetSnapshot::FocusMoved{}));

    EXPECT_EQ(deliver(QStringLiteral("back ✓"), target), TI::Outcome(TI::Pasted{target->appName}));
    EXPECT_TRUE(fieldReads(*target->focusedElement, QStringLiteral("back ✓")));
    EXPECT_EQ(d->accessibility.value(*second), QString());
}

TEST_F(Injection, TargetBehindAnotherAppIsActivatedThenPasted) {
    auto mousepad = launchMousepad();
    const auto target = TargetSnapshot::capture(d->services);
    ASSERT_TRUE(target && target->focusedElement);
    auto editor = launchEditor();
    ASSERT_TRUE(std::holds_alternative<TargetSnapshot::OtherApp>(target->validate()));

    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(deliver(kMixed, target), TI::Outcome(TI::Pasted{target->appName}));
    EXPECT_GE(elapsed.elapsed(), 220);
    EXPECT_TRUE(fieldReads(*target->focusedElement, kMixed));
}

TEST_F(Injection, ClosedTargetLeavesTextOnClipboard) {
    auto mousepad = launchMousepad();
    const auto target = TargetSnapshot::capture(d->services);
    ASSERT_TRUE(target);
    mousepad->stop();
    EXPECT_EQ(deliver(kMixed, target), TI::Outcome(TI::Copied{target->appName + QStringLiteral(" 已退出")}));
    EXPECT_EQ(d->clipboard.text(), kMixed);
}

TEST_F(Injection, PasswordFieldIsNeverRead) {
    auto editor = launchEditor({QStringLiteral("--focus"), QStringLiteral("password")});
    const auto target = TargetSnapshot::capture(d->services);
    ASSERT_TRUE(target && target->focusedElement);
    EXPECT_TRUE(d->accessibility.isSecureTextField(*target->focusedElement));
    EXPECT_FALSE(target->focusedFieldText());
    EXPECT_FALSE(d->accessibility.value(*target->focusedElement));
}

TEST_F(Injection, FieldTextFollowsTheUsersEdits) {
    auto editor = launchEditor();
    const auto target = TargetSnapshot::capture(d->services);
    ASSERT_TRUE(target && target->focusedElement);
    EXPECT_EQ(target->focusedFieldText(), QString());
    ASSERT_TRUE(test::xdotool({QStringLiteral("type"), QStringLiteral("abc")}));
    EXPECT_TRUE(test::waitUntil([&] { return target->focusedFieldText() == QStringLiteral("abc"); }));
}

TEST_F(Injection, PasteReachesATerminal) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("line.txt"));
    // xterm binds no paste key by default; give it the usual Ctrl+Shift+V.
    test::LaunchedApp xterm(
        QStringLiteral("xterm"),
        {QStringLiteral("-u8"), QStringLiteral("-xrm"),
         QStringLiteral("XTerm*VT100.translations: #override Ctrl Shift <Key>V: insert-selection(CLIPBOARD)"),
         QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral("head -n 1 > '%1'").arg(out)});
    ASSERT_TRUE(xterm.waitUntilActive());
    const auto target = TargetSnapshot::capture(d->services);
    ASSERT_TRUE(target);
    const QString line = QString::fromUtf8("echo 终端 ✓");
    EXPECT_EQ(deliver(line + QLatin1Char('\n'), target), TI::Outcome(TI::Pasted{target->appName}));
    ASSERT_TRUE(test::waitUntil([&] {
        QFile f(out);
        return f.open(QIODevice::ReadOnly) && f.readAll().endsWith('\n');
    }));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), (line + QLatin1Char('\n')).toUtf8());
}

} // namespace
