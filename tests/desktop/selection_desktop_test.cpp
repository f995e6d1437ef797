#include "desktop/desktop_fixture.h"
#include "support/test_env.h"
#include "system/selection_reader.h"
#include "system/text_injector.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

using namespace zelk;

namespace {

const QString kPrivateType = QStringLiteral("application/x-zelk-test");
const QByteArray kPrivateBytes("\x00\x01\xfe\xff binary", 11);

class Selection : public ::testing::Test {
protected:
    std::unique_ptr<test::RealDesktop> d;
    std::unique_ptr<test::LaunchedApp> mousepad;
    std::optional<AccessibleElement> field;

    void SetUp() override {
        ZELK_SKIP_WITHOUT_DESKTOP(true);
        d = std::make_unique<test::RealDesktop>();
        mousepad = test::launchMousepad();
        ASSERT_TRUE(mousepad->waitUntilActive()) << mousepad->output().toStdString();
        ASSERT_TRUE(test::waitForFocusedElement(d->accessibility));
        const auto target = TargetSnapshot::capture(d->services);
        ASSERT_TRUE(target && target->focusedElement);
        field = target->focusedElement;
        std::optional<TextInjector::Outcome> outcome;
        spawn([&](CancellationToken) -> Task<void> {
            outcome = co_await TextInjector::deliver(d->services, QString::fromUtf8("alpha 重庆 beta"), target);
        });
        test::serveEventsFor(300);
        ASSERT_TRUE(test::waitUntil([&] { return d->accessibility.value(*field) == QString::fromUtf8("alpha 重庆 beta"); }))
            << "outcome " << (outcome ? TextInjector::outcomeWord(*outcome).toStdString() : "none") << " value "
            << d->accessibility.value(*field).value_or("<none>").toStdString() << " target "
            << (target ? target->appName.toStdString() : "none");
    }

    // The user's clipboard: some text and a type only this test knows.
    void putUserClipboard() {
        auto* mime = new QMimeData;
        mime->setData(QStringLiteral("text/plain"), QByteArray("before"));
        mime->setData(kPrivateType, kPrivateBytes);
        QGuiApplication::clipboard()->setMimeData(mime);
    }
    void expectUserClipboard() {
        const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
        ASSERT_TRUE(mime);
        EXPECT_EQ(mime->data(kPrivateType), kPrivateBytes);
        EXPECT_EQ(mime->data(QStringLiteral("text/plain")), QByteArray("before"));
    }

    std::optional<QString> read(qint64* elapsedMs = nullptr) {
        std::optional<std::optional<QString>> result;
        QElapsedTimer timer;
        timer.start();
        spawn([&](CancellationToken) -> Task<void> { result = co_await SelectionReader::readViaCopy(d->services); });
        EXPECT_TRUE(test::waitUntil([&] { return result.has_value(); }, 20000));
        if (elapsedMs)
            *elapsedMs = timer.elapsed();
        return result.value_or(std::nullopt);
    }
};

TEST_F(Selection, ReadsMousepadSelectionAndPutsClipboardBack) {
    ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));
    putUserClipboard();
    EXPECT_EQ(read(), QString::fromUtf8("alpha 重庆 beta"));
    expectUserClipboard();
}

TEST_F(Selection, ClipboardOfAnotherProgramIsPutBack) {
    // mousepad owns the clipboard with the whole text, then only the first word is selected.
    ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")}));
    ASSERT_TRUE(test::waitUntil([&] { return d->clipboard.text() == QString::fromUtf8("alpha 重庆 beta"); }));
    ASSERT_FALSE(QGuiApplication::clipboard()->ownsClipboard());
    ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+Home"), QStringLiteral("shift+End")}));
    ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("shift+Left"), QStringLiteral("shift+Left"),
                               QStringLiteral("shift+Left"), QStringLiteral("shift+Left"), QStringLiteral("shift+Left")}));
    EXPECT_EQ(read(), QString::fromUtf8("alpha 重庆"));
    EXPECT_EQ(d->clipboard.text(), QString::fromUtf8("alpha 重庆 beta"));
}

TEST_F(Selection, NothingSelectedIsAbsentAfterTheWait) {
    ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+End")}));
    putUserClipboard();
    qint64 elapsed = 0;
    EXPECT_EQ(read(&elapsed), std::nullopt);
    EXPECT_GE(elapsed, 360);
    expectUserClipboard();
}

TEST_F(Selection, ClipboardOwnerThatNeverAnswersDoesNotHangTheRead) {
    ASSERT_TRUE(test::xdotool({QStringLiteral("key"), QStringLiteral("ctrl+a")}));
    test::LaunchedApp silent(test::testEditorPath(), {QStringLiteral("--own-clipboard-silently")});
    ASSERT_TRUE(test::waitUntil([&] { return silent.output().contains(QStringLiteral("owning")); }));
    qint64 elapsed = 0;
    EXPECT_EQ(read(&elapsed), QString::fromUtf8("alpha 重庆 beta"));
    // Well under the toolkit's own 5 s wait for a clipboard owner, during which
    // the main thread would be blocked.
    EXPECT_LT(elapsed, 4000);
    // Nothing could be saved from the silent owner, so nothing is put back.
    EXPECT_FALSE(d->clipboard.text());
}

} // namespace
