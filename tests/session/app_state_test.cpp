#include "session/app_state.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace zelk;

namespace {

TEST(AppState, StartsIdleAndEmpty) {
    AppState state;
    EXPECT_TRUE(state.session().isIdle());
    EXPECT_EQ(state.caption(), CaptionText{});
    EXPECT_EQ(state.audioLevel(), 0.f);
    EXPECT_FALSE(state.micWarning());
    EXPECT_FALSE(state.micNotice());
    EXPECT_FALSE(state.micReady());
    EXPECT_TRUE(state.finalText().isEmpty());
    EXPECT_FALSE(state.hasUndoAction());
}

TEST(AppState, SessionNotifiesOnlyOnChangeOfCaseOrPayload) {
    AppState state;
    QSignalSpy spy(&state, &AppState::sessionChanged);
    const auto t = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    state.setSession(SessionState::recording(t));
    state.setSession(SessionState::recording(t));
    EXPECT_EQ(spy.count(), 1);
    state.setSession(SessionState::recording(t.addMSecs(1)));
    EXPECT_EQ(spy.count(), 2);
    state.setSession(SessionState::refining(RefineStage::transcribing));
    state.setSession(SessionState::refining(RefineStage::transcribing));
    state.setSession(SessionState::refining(RefineStage::polishing));
    EXPECT_EQ(spy.count(), 4);
    state.setSession(SessionState::done("a"));
    state.setSession(SessionState::error("a"));
    state.setSession(SessionState::error("a"));
    EXPECT_EQ(spy.count(), 6);
}

TEST(AppState, EveryPlainPropertyFollowsTheChangeRule) {
    AppState state;
    QSignalSpy caption(&state, &AppState::captionChanged), level(&state, &AppState::audioLevelChanged),
        warning(&state, &AppState::micWarningChanged), notice(&state, &AppState::micNoticeChanged),
        ready(&state, &AppState::micReadyChanged), text(&state, &AppState::finalTextChanged);
    for (int i = 0; i < 2; ++i) {
        state.setCaption({"你好", "世"});
        state.setAudioLevel(0.5f);
        state.setMicWarning(true);
        state.setMicNotice(QStringLiteral("麦克风重连中"));
        state.setMicReady(true);
        state.setFinalText("x");
    }
    state.setCaption({"你好", "世界"}); // pending alone differs
    state.setMicNotice(QString());      // an empty notice is still a notice, distinct from none
    for (auto* spy : {&level, &warning, &ready, &text})
        EXPECT_EQ(spy->count(), 1);
    EXPECT_EQ(caption.count(), 2);
    EXPECT_EQ(notice.count(), 2);
}

TEST(AppState, UndoActionNotifiesOnEveryAssignment) {
    AppState state;
    QSignalSpy spy(&state, &AppState::undoActionChanged);
    state.setUndoAction({});
    state.setUndoAction({});
    int undone = 0;
    state.setUndoAction([&] { ++undone; });
    EXPECT_EQ(spy.count(), 3);
    state.undoAction()();
    EXPECT_EQ(undone, 1);
}

TEST(AppState, ResetOfAFreshStateNotifiesOnlyForUndo) {
    AppState state;
    QSignalSpy session(&state, &AppState::sessionChanged), caption(&state, &AppState::captionChanged),
        undo(&state, &AppState::undoActionChanged);
    state.reset();
    EXPECT_EQ(session.count(), 0);
    EXPECT_EQ(caption.count(), 0);
    EXPECT_EQ(undo.count(), 1);
}

TEST(AppState, ResetAssignsInDeclarationOrder) {
    AppState state;
    state.setSession(SessionState::done("ok"));
    state.setCaption({"a", "b"});
    state.setAudioLevel(0.3f);
    state.setMicWarning(true);
    state.setMicNotice(QStringLiteral("n"));
    state.setMicReady(true);
    state.setFinalText("t");
    state.setUndoAction([] {});
    QStringList order;
    auto track = [&](auto signal, const char* name) { QObject::connect(&state, signal, [&order, name] { order << name; }); };
    track(&AppState::sessionChanged, "session");
    track(&AppState::captionChanged, "caption");
    track(&AppState::audioLevelChanged, "audioLevel");
    track(&AppState::micWarningChanged, "micWarning");
    track(&AppState::micNoticeChanged, "micNotice");
    track(&AppState::micReadyChanged, "micReady");
    track(&AppState::finalTextChanged, "finalText");
    track(&AppState::undoActionChanged, "undoAction");
    // An observer sees the session already idle when the caption changes.
    bool idleWhenCaptionCleared = false;
    QObject::connect(&state, &AppState::captionChanged, [&] { idleWhenCaptionCleared = state.session().isIdle(); });
    state.reset();
    EXPECT_EQ(order, (QStringList{"session", "caption", "audioLevel", "micWarning", "micNotice", "micReady", "finalText",
                                  "undoAction"}));
    EXPECT_TRUE(idleWhenCaptionCleared);
    EXPECT_FALSE(state.hasUndoAction());
}

TEST(RefineStage, RawValuesAreTheStatusTexts) {
    EXPECT_EQ(rawValue(RefineStage::transcribing), "识别中");
    EXPECT_EQ(refineStageFromRaw("整理中"), RefineStage::polishing);
    EXPECT_EQ(refineStageFromRaw("写入中"), RefineStage::writing);
    EXPECT_FALSE(refineStageFromRaw("polishing"));
    EXPECT_FALSE(refineStageFromRaw(""));
}

} // namespace
