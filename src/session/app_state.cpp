#include "session/app_state.h"

namespace zelk {

QString rawValue(RefineStage stage) {
    switch (stage) {
    case RefineStage::transcribing: return QStringLiteral("识别中");
    case RefineStage::polishing: return QStringLiteral("整理中");
    case RefineStage::writing: return QStringLiteral("写入中");
    }
    return {};
}

std::optional<RefineStage> refineStageFromRaw(const QString& raw) {
    for (auto stage : {RefineStage::transcribing, RefineStage::polishing, RefineStage::writing})
        if (rawValue(stage) == raw)
            return stage;
    return std::nullopt;
}

AppState::AppState(QObject* parent) : QObject(parent) {}

namespace {
template <typename T, typename Signal>
void assign(AppState* self, T& field, T value, Signal signal) {
    if (field == value)
        return;
    field = std::move(value);
    Q_EMIT(self->*signal)();
}
} // namespace

void AppState::setSession(SessionState session) { assign(this, m_session, std::move(session), &AppState::sessionChanged); }
void AppState::setCaption(CaptionText caption) { assign(this, m_caption, std::move(caption), &AppState::captionChanged); }
void AppState::setAudioLevel(float level) { assign(this, m_audioLevel, level, &AppState::audioLevelChanged); }
void AppState::setMicWarning(bool warning) { assign(this, m_micWarning, warning, &AppState::micWarningChanged); }
void AppState::setMicNotice(std::optional<QString> notice) { assign(this, m_micNotice, std::move(notice), &AppState::micNoticeChanged); }
void AppState::setMicReady(bool ready) { assign(this, m_micReady, ready, &AppState::micReadyChanged); }
void AppState::setFinalText(QString text) { assign(this, m_finalText, std::move(text), &AppState::finalTextChanged); }

void AppState::setUndoAction(UndoAction action) {
    m_undoAction = std::move(action);
    Q_EMIT undoActionChanged();
}

void AppState::reset() {
    setSession(SessionState::idle());
    setCaption({});
    setAudioLevel(0);
    setMicWarning(false);
    setMicNotice(std::nullopt);
    setMicReady(false);
    setFinalText({});
    setUndoAction({});
}

} // namespace zelk
