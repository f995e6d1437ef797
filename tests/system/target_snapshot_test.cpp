#include "fakes/fake_desktop.h"
#include "support/test_env.h"
#include "system/target_snapshot.h"

#include <gtest/gtest.h>

using namespace zelk;
using test::FakeAccessibility;

namespace {

const QString kField = QStringLiteral("/field");
const QString kOther = QStringLiteral("/other");
const QString kWin = QStringLiteral("/win");

class Snapshot : public ::testing::Test {
protected:
    test::FakeDesktop d;

    void SetUp() override {
        d.workspace.add(10, QStringLiteral("Editor"));
        d.workspace.add(20, QStringLiteral("Terminal"));
        d.workspace.front = 10;
        d.accessibility.elements[kField] = test::FakeAccessibility::field(true, kWin, QStringLiteral("sel"));
        d.accessibility.elements[kOther] = test::FakeAccessibility::field(false, kWin);
        d.accessibility.elements[kWin] = test::FakeAccessibility::windowTitled(QStringLiteral("notes.txt"));
        d.accessibility.focused = kField;
        d.accessibility.focusedWindows[10] = kWin;
    }

    TargetSnapshot capture() {
        auto s = TargetSnapshot::capture(d.services);
        EXPECT_TRUE(s);
        return s.value_or(TargetSnapshot(d.services));
    }
    FakeAccessibility::Element& field() { return d.accessibility.elements[kField]; }
};

TEST_F(Snapshot, CapturesFrontmostAppAndFocusedField) {
    const auto s = capture();
    EXPECT_EQ(s.pid, 10);
    EXPECT_EQ(s.bundleID, QStringLiteral("app.10"));
    EXPECT_EQ(s.appName, QStringLiteral("Editor"));
    EXPECT_EQ(s.focusedElement, FakeAccessibility::element(kField));
    EXPECT_EQ(s.windowTitle, QStringLiteral("notes.txt"));
    EXPECT_EQ(s.selectedText, QStringLiteral("sel"));
}

TEST_F(Snapshot, AbsentPartsAndNames) {
    d.workspace.running[10].localizedName.reset();
    d.accessibility.elements[kWin].title = QString();
    field().selectedText = QString();
    auto s = capture();
    EXPECT_EQ(s.appName, QStringLiteral("未知应用"));
    EXPECT_FALSE(s.windowTitle);
    EXPECT_FALSE(s.selectedText);

    d.accessibility.focused.reset();
    s = capture();
    EXPECT_FALSE(s.focusedElement);
    EXPECT_FALSE(s.selectedText);

    d.workspace.front.reset();
    EXPECT_FALSE(TargetSnapshot::capture(d.services));
}

struct ValidityCase {
    const char* name;
    std::function<void(test::FakeDesktop&)> change;
    TargetSnapshot::Validity expected;
};

class Validate : public Snapshot, public ::testing::WithParamInterface<ValidityCase> {};

TEST_P(Validate, Answers) {
    const auto s = capture();
    GetParam().change(d);
    EXPECT_EQ(s.validate(), GetParam().expected);
}

using V = TargetSnapshot;
INSTANTIATE_TEST_SUITE_P(
    TargetSnapshot, Validate,
    ::testing::Values(
        ValidityCase{"unchanged", [](auto&) {}, V::Ok{}},
        ValidityCase{"processGone", [](auto& d) { d.workspace.running.remove(10); }, V::AppGone{}},
        ValidityCase{"terminated", [](auto& d) { d.workspace.running[10].isTerminated = true; }, V::AppGone{}},
        ValidityCase{"nothingFrontmost", [](auto& d) { d.workspace.front.reset(); }, V::FocusMoved{}},
        ValidityCase{"otherApp", [](auto& d) { d.workspace.front = 20; }, V::OtherApp{QStringLiteral("Terminal")}},
        ValidityCase{"otherAppWithoutName",
                     [](auto& d) {
                         d.workspace.front = 20;
                         d.workspace.running[20].localizedName.reset();
                     },
                     V::OtherApp{QStringLiteral("其他应用")}},
        ValidityCase{"otherField", [](auto& d) { d.accessibility.focused = kOther; }, V::FocusMoved{}},
        ValidityCase{"focusUnreadable", [](auto& d) { d.accessibility.focused.reset(); }, V::FocusMoved{}}),
    [](const auto& info) { return info.param.name; });

TEST_F(Snapshot, WithoutRecordedElementSameAppIsOk) {
    d.accessibility.focused.reset();
    const auto s = capture();
    d.accessibility.focused = kOther;
    EXPECT_EQ(s.validate(), V::Validity(V::Ok{}));
    EXPECT_TRUE(s.originalStillFocused());
}

struct StillFocusedCase {
    const char* name;
    std::function<void(test::FakeDesktop&)> change;
    bool expected;
};

class StillFocused : public Snapshot, public ::testing::WithParamInterface<StillFocusedCase> {};

TEST_P(StillFocused, Answers) {
    const auto s = capture();
    GetParam().change(d);
    EXPECT_EQ(s.originalStillFocused(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    TargetSnapshot, StillFocused,
    ::testing::Values(
        StillFocusedCase{"unchanged", [](auto&) {}, true},
        StillFocusedCase{"notFocused", [](auto& d) { d.accessibility.elements[kField].focused = false; }, false},
        StillFocusedCase{"focusUnreadable", [](auto& d) { d.accessibility.elements[kField].focused.reset(); }, false},
        StillFocusedCase{"noWindow", [](auto& d) { d.accessibility.elements[kField].window.reset(); }, false},
        StillFocusedCase{"appHasNoFocusedWindow", [](auto& d) { d.accessibility.focusedWindows.remove(10); }, false},
        StillFocusedCase{"anotherWindowActive",
                         [](auto& d) { d.accessibility.focusedWindows[10] = QStringLiteral("/dialog"); }, false}),
    [](const auto& info) { return info.param.name; });

TEST_F(Snapshot, FieldTextOfPasswordFieldIsNeverRead) {
    field().secure = true;
    field().value = QStringLiteral("hunter2");
    EXPECT_FALSE(capture().focusedFieldText());
    EXPECT_FALSE(d.accessibility.calls.contains(QStringLiteral("value /field")));
}

TEST_F(Snapshot, FieldTextLimitIs20000Characters) {
    const auto s = capture();
    field().value = QString(20000, QLatin1Char('x'));
    EXPECT_EQ(s.focusedFieldText(), QString(20000, QLatin1Char('x')));
    field().value = QString(20001, QLatin1Char('x'));
    EXPECT_FALSE(s.focusedFieldText());
    field().value = QString();
    EXPECT_EQ(s.focusedFieldText(), QString());
}

TEST_F(Snapshot, FieldTextOfUnfocusedFieldIsAbsent) {
    const auto s = capture();
    field().value = QStringLiteral("abc");
    field().focused = false;
    EXPECT_FALSE(s.focusedFieldText());
}

struct RangeCase {
    const char* name;
    std::optional<qint64> count;
    std::optional<Accessibility::TextRange> selected;
    QString rangeText;
    std::optional<QString> expected;
};

class FieldTextViaRange : public Snapshot, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(FieldTextViaRange, Answers) {
    const auto& c = GetParam();
    field().characterCount = c.count;
    field().selectedRange = c.selected;
    field().rangeText = c.rangeText;
    EXPECT_EQ(capture().focusedFieldText(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    TargetSnapshot, FieldTextViaRange,
    ::testing::Values(RangeCase{"byCount", 5, std::nullopt, QStringLiteral("hello world"), QStringLiteral("hello")},
                      RangeCase{"bySelectionEnd", std::nullopt, Accessibility::TextRange{3, 4},
                                QStringLiteral("abcdefgh"), QStringLiteral("abcdefg")},
                      RangeCase{"nothingReadable", std::nullopt, std::nullopt, QStringLiteral("abc"), std::nullopt},
                      RangeCase{"emptyField", 0, std::nullopt, QStringLiteral("abc"), std::nullopt},
                      RangeCase{"tooLong", 20001, std::nullopt, QString(20001, QLatin1Char('x')), std::nullopt},
                      RangeCase{"exactlyTheLimit", 20000, std::nullopt, QString(20000, QLatin1Char('x')),
                                QString(20000, QLatin1Char('x'))},
                      RangeCase{"emptyAnswer", 3, std::nullopt, QString(), std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST_F(Snapshot, RestoreFocusAnswersAtOnceWhenStillFocused) {
    const auto s = capture();
    bool done = false, answer = false;
    spawn([&](CancellationToken) -> Task<void> {
        answer = co_await s.restoreFocus();
        done = true;
    });
    EXPECT_TRUE(done);
    EXPECT_TRUE(answer);
    EXPECT_TRUE(d.accessibility.calls.isEmpty());
}

TEST_F(Snapshot, CancelledRestoreGoesOnAtOnce) {
    const auto s = capture();
    d.accessibility.setFocused(FakeAccessibility::element(kOther));
    bool done = false, answer = false;
    auto handle = spawn([&](CancellationToken token) -> Task<void> {
        answer = co_await s.restoreFocus(token);
        done = true;
    });
    EXPECT_FALSE(done);
    handle.cancel();
    ASSERT_TRUE(test::waitUntil([&] { return done; }, 1000));
    EXPECT_TRUE(answer);
}

} // namespace
