#pragma once

#include "core/task.h"
#include "core/vocabulary.h"
#include "polish/cloud_polish_contract.h"
#include "polish/polish_vocabulary.h"

#include <QString>

#include <functional>
#include <optional>

namespace zelk {

class CloudPolishService;
class LocalPolishEngine;
class PersonalDictionary;

// Turns the corrected transcript of a dictation into the text to deliver:
// chooses the routes for the mode, runs them with their fallbacks and says in
// one notice why the user got something other than a polished text. Never
// fails. Also builds the cloud requests of the rewrite flow. Main thread only.
class PolishStep {
public:
    struct Result {
        QString text;
        QString source; // PolishSource::original / local / cloud
        std::optional<QString> notice;
        bool operator==(const Result&) const = default;
    };
    struct LocalResult {
        QString text;
        bool toneFellBack = false;
        bool operator==(const LocalResult&) const = default;
    };

    // What the user sees while a route runs: the session turns to "polishing",
    // and the local engine's output streams into the caption.
    struct Display {
        std::function<void()> polishing;
        std::function<void(const QString& caption)> caption;
    };

    // `dictionary` may be null (no preferred spellings).
    PolishStep(Display display, CloudPolishService& cloud, LocalPolishEngine& engine,
               const PersonalDictionary* dictionary);

    // `targetApp` is the name of the application that receives the text.
    Task<Result> polishIfNeeded(QString text, PolishMode mode, std::optional<QString> targetApp);
    Task<std::optional<LocalResult>> localPolish(QString text);
    Task<std::optional<QString>> localPolishOnce(QString text, QString tone, std::optional<QString> toneText);
    std::optional<CloudPolishRequest> cloudPolishRequest(PolishMode mode, const QString& text,
                                                         const std::optional<QString>& instruction,
                                                         const std::optional<QString>& targetApp);
    // The translation a rewrite instruction asked for (`target` as recognised).
    std::optional<CloudPolishRequest> translationRequest(const QString& selection, const QString& target);
    Task<std::optional<QString>> cloudPolish(std::optional<CloudPolishRequest> request);

    // The rewrite flow's words when the selection or the instruction is beyond the
    // cloud's limits (4000 and 500 UTF-16 units).
    static bool exceedsRewriteLimits(const QString& selection, const QString& instruction);
    static QString rewriteTooLongNotice();

    static QString notice(CloudFailure failure);
    static QString localModeUnsupportedNotice();
    static QString cloudFailedLocalUsedNotice();
    static QString toneFellBackNotice();
    static QString localFailedNotice();

private:
    QStringList glossarySource(const QString& text) const;
    bool hasServingPlan();

    void showPolishing() const;

    Display m_display;
    CloudPolishService& m_cloud;
    LocalPolishEngine& m_engine;
    const PersonalDictionary* m_dictionary;
};

} // namespace zelk
