#include "fakes/fake_desktop.h"
#include "system/selection_reader.h"

#include <gtest/gtest.h>

using namespace zelk;
using namespace std::chrono_literals;

namespace {

using Item = Clipboard::Item;

class ReadViaCopy : public ::testing::Test {
protected:
    test::FakeDesktop d;
    // What the user had: an image item and a rich-text item.
    const QList<Item> userItems{
        Item{{QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\1", 10)}},
        Item{{QStringLiteral("text/plain"), QByteArray("mine")}, {QStringLiteral("text/html"), QByteArray("<b>mine</b>")}},
    };

    void SetUp() override { d.clipboard.items = userItems; }

    std::shared_ptr<std::optional<std::optional<QString>>> start() {
        auto result = std::make_shared<std::optional<std::optional<QString>>>();
        spawn([this, result](CancellationToken) -> Task<void> {
            *result = co_await SelectionReader::readViaCopy(d.services);
        });
        return result;
    }
    void copies(const QString& text) {
        d.keys.onCopy = [this, text] { d.clipboard.setText(text); };
    }
};

TEST_F(ReadViaCopy, AnswersAfterFirstPollAndRestoresEveryType) {
    copies(QStringLiteral("  selected words \n"));
    auto result = start();
    d.clock.advance(29ms);
    EXPECT_FALSE(*result);
    d.clock.advance(1ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, QStringLiteral("selected words"));
    EXPECT_EQ(d.clipboard.items, userItems);
}

TEST_F(ReadViaCopy, CopyArrivingLateIsStillTaken) {
    auto result = start();
    d.clock.advance(200ms);
    d.clipboard.setText(QStringLiteral("late"));
    d.clock.advance(30ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, QStringLiteral("late"));
    EXPECT_EQ(d.clipboard.items, userItems);
}

TEST_F(ReadViaCopy, NothingSelectedGivesUpAfter12PollsAndKeepsClipboard) {
    auto result = start();
    d.clock.advance(359ms);
    EXPECT_FALSE(*result);
    d.clock.advance(1ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, std::nullopt);
    EXPECT_EQ(d.clipboard.items, userItems);
    EXPECT_EQ(d.clock.sleeperCount(), 0u);
}

TEST_F(ReadViaCopy, BlankCopyIsAbsent) {
    copies(QStringLiteral(" \n\t "));
    auto result = start();
    d.clock.advance(30ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, std::nullopt);
    EXPECT_EQ(d.clipboard.items, userItems);
}

TEST_F(ReadViaCopy, CopyWithoutTextIsAbsent) {
    d.keys.onCopy = [this] { d.clipboard.writeItems({Item{{QStringLiteral("image/png"), QByteArray("x")}}}); };
    auto result = start();
    d.clock.advance(30ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, std::nullopt);
    EXPECT_EQ(d.clipboard.items, userItems);
}

TEST_F(ReadViaCopy, EmptyClipboardStaysEmpty) {
    d.clipboard.items.clear();
    copies(QStringLiteral("x"));
    auto result = start();
    d.clock.advance(30ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, QStringLiteral("x"));
    EXPECT_TRUE(d.clipboard.items.isEmpty());
    EXPECT_EQ(d.clipboard.calls.last(), QStringLiteral("clear"));
}

TEST_F(ReadViaCopy, RefusedKeystrokeTouchesNothing) {
    d.keys.canPost = false;
    const quint64 before = d.clipboard.changeCount();
    auto result = start();
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, std::nullopt);
    EXPECT_EQ(d.clipboard.changeCount(), before);
    EXPECT_TRUE(d.clipboard.calls.isEmpty());
}

TEST(SelectionReaderSnapshot, LeavesOutTypesWithoutDataAndKeepsEmptyItems) {
    test::FakeClipboard clipboard;
    clipboard.items = {Item{{QStringLiteral("text/plain"), QByteArray("a")}}, Item{}};
    clipboard.declaredWithoutData[0] = {QStringLiteral("application/x-promised")};
    const auto saved = SelectionReader::snapshot(clipboard);
    EXPECT_EQ(saved, (SelectionReader::Snapshot{Item{{QStringLiteral("text/plain"), QByteArray("a")}}, Item{}}));
    SelectionReader::restore(saved, clipboard);
    EXPECT_EQ(clipboard.calls, (QStringList{QStringLiteral("clear"), QStringLiteral("writeItems 2")}));
}

} // namespace
