#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <variant>

namespace zelk {

enum class RefineStage { transcribing, polishing, writing };

// The raw value is also the status text shown for the stage.
QString rawValue(RefineStage stage);
std::optional<RefineStage> refineStageFromRaw(const QString& raw);

// The phase of the current session.
struct SessionState {
    struct Recording {
        QDateTime startedAt;
        bool operator==(const Recording& o) const {
            // Dates compare exactly, to the millisecond and the time zone's offset.
            return startedAt.toMSecsSinceEpoch() == o.startedAt.toMSecsSinceEpoch() &&
                   startedAt.isValid() == o.startedAt.isValid();
        }
    };
    struct Refining {
        RefineStage stage;
        bool operator==(const Refining&) const = default;
    };
    struct Done {
        QString summary;
        bool operator==(const Done&) const = default;
    };
    struct Error {
        QString message;
        bool operator==(const Error&) const = default;
    };
    struct Idle {
        bool operator==(const Idle&) const = default;
    };

    std::variant<Idle, Recording, Refining, Done, Error> value;

    static SessionState idle() { return {Idle{}}; }
    static SessionState recording(QDateTime startedAt) { return {Recording{std::move(startedAt)}}; }
    static SessionState refining(RefineStage stage) { return {Refining{stage}}; }
    static SessionState done(QString summary) { return {Done{std::move(summary)}}; }
    static SessionState error(QString message) { return {Error{std::move(message)}}; }

    bool isIdle() const { return std::holds_alternative<Idle>(value); }
    bool isRecording() const { return std::holds_alternative<Recording>(value); }
    bool isRefining() const { return std::holds_alternative<Refining>(value); }
    bool isDone() const { return std::holds_alternative<Done>(value); }
    bool isError() const { return std::holds_alternative<Error>(value); }

    template <typename T>
    const T* as() const { return std::get_if<T>(&value); }

    bool operator==(const SessionState&) const = default;
};

// The caption the capsule shows: settled text and the still-changing tail.
struct CaptionText {
    QString committed;
    QString pending;
    bool operator==(const CaptionText&) const = default;
};

// The one observable model of what the dictation is doing. Main thread only.
// Setters notify only when the value changes; undoAction notifies on every set.
class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(float audioLevel READ audioLevel WRITE setAudioLevel NOTIFY audioLevelChanged)
    Q_PROPERTY(bool micWarning READ micWarning WRITE setMicWarning NOTIFY micWarningChanged)
    Q_PROPERTY(bool micReady READ micReady WRITE setMicReady NOTIFY micReadyChanged)
    Q_PROPERTY(QString finalText READ finalText WRITE setFinalText NOTIFY finalTextChanged)
    Q_PROPERTY(bool hasUndoAction READ hasUndoAction NOTIFY undoActionChanged)

public:
    using UndoAction = std::function<void()>;

    explicit AppState(QObject* parent = nullptr);

    const SessionState& session() const { return m_session; }
    void setSession(SessionState session);

    const CaptionText& caption() const { return m_caption; }
    void setCaption(CaptionText caption);

    float audioLevel() const { return m_audioLevel; }
    void setAudioLevel(float level);

    bool micWarning() const { return m_micWarning; }
    void setMicWarning(bool warning);

    const std::optional<QString>& micNotice() const { return m_micNotice; }
    void setMicNotice(std::optional<QString> notice);

    bool micReady() const { return m_micReady; }
    void setMicReady(bool ready);

    const QString& finalText() const { return m_finalText; }
    void setFinalText(QString text);

    const UndoAction& undoAction() const { return m_undoAction; }
    bool hasUndoAction() const { return bool(m_undoAction); }
    void setUndoAction(UndoAction action);

    // Back to the initial values, in declaration order, each under the change rule.
    void reset();

Q_SIGNALS:
    void sessionChanged();
    void captionChanged();
    void audioLevelChanged();
    void micWarningChanged();
    void micNoticeChanged();
    void micReadyChanged();
    void finalTextChanged();
    void undoActionChanged();

private:
    SessionState m_session = SessionState::idle();
    CaptionText m_caption;
    float m_audioLevel = 0;
    bool m_micWarning = false;
    std::optional<QString> m_micNotice;
    bool m_micReady = false;
    QString m_finalText;
    UndoAction m_undoAction;
};

} // namespace zelk
