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

struct CopyCase {
    const char* name;
    std::optional<int> copyAtMs; // when the application copies; never when absent
    std::function<void(test::FakeClipboard&)> copy;
    std::optional<QString> expected;
    int answerAtMs;
};

void copyText(test::FakeClipboard& c, const char* text) { c.setText(QString::fromUtf8(text)); }

class ReadViaCopyTable : public ReadViaCopy, public ::testing::WithParamInterface<CopyCase> {};

// Every outcome leaves the user's clipboard, image included, as it was.
TEST_P(ReadViaCopyTable, AnswersAtThePollAfterTheCopyAndRestores) {
    const auto& c = GetParam();
    if (c.copyAtMs == 0)
        d.keys.onCopy = [this, &c] { c.copy(d.clipboard); };
    auto result = start();
    if (c.copyAtMs > 0) {
        d.clock.advance(std::chrono::milliseconds(*c.copyAtMs));
        c.copy(d.clipboard);
    }
    d.clock.advance(std::chrono::milliseconds(c.answerAtMs - 1) - d.clock.now());
    EXPECT_FALSE(*result);
    d.clock.advance(1ms);
    ASSERT_TRUE(*result);
    EXPECT_EQ(**result, c.expected);
    EXPECT_EQ(d.clipboard.items, userItems);
    EXPECT_EQ(d.clock.sleeperCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    SelectionReader, ReadViaCopyTable,
    ::testing::Values(
        CopyCase{"copiesAtOnce", 0, [](auto& c) { copyText(c, "  selected words \n"); }, QStringLiteral("selected words"), 30},
        CopyCase{"copiesLate", 200, [](auto& c) { copyText(c, "late"); }, QStringLiteral("late"), 210},
        CopyCase{"blankCopy", 0, [](auto& c) { copyText(c, " \n\t "); }, std::nullopt, 30},
        CopyCase{"copyWithoutText", 0,
                 [](auto& c) { c.writeItems({Item{{QStringLiteral("image/png"), QByteArray("x")}}}); }, std::nullopt, 30},
        CopyCase{"nothingSelected", std::nullopt, [](auto&) {}, std::nullopt, 360}),
    [](const auto& info) { return info.param.name; });

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
