#include "polish/polish_step.h"

#include "core/log.h"
#include "core/settings.h"
#include "core/text.h"
#include "language/personal_dictionary.h"
#include "language/term_sound.h"
#include "polish/cloud_polish_service.h"
#include "polish/local_polish_engine.h"
#include "polish/polish_guard.h"
#include "polish/polish_source.h"

namespace zelk {

namespace {

constexpr Duration decisionAge = std::chrono::seconds(600);

QString trimmed(const QString& s) { return text::trimmedWhitespaceAndNewlines(s); }

double ratioMax(ToneLevel tone, const std::optional<QString>& customTone) {
    switch (tone) {
    case ToneLevel::casual:
    case ToneLevel::natural:
    case ToneLevel::written: return 1.3;
    case ToneLevel::formal: return 1.5;
    case ToneLevel::ceremonious: return 1.7;
    case ToneLevel::custom: return customTone && !trimmed(*customTone).isEmpty() ? 1.6 : 1.3;
    }
    return 1.3;
}

} // namespace

PolishStep::PolishStep(Display display, CloudPolishService& cloud, LocalPolishEngine& engine,
                       const PersonalDictionary* dictionary)
    : m_display(std::move(display)), m_cloud(cloud), m_engine(engine), m_dictionary(dictionary) {}

bool PolishStep::exceedsRewriteLimits(const QString& selection, const QString& instruction) {
    return selection.size() > 4000 || trimmed(instruction).size() > 500;
}

QString PolishStep::rewriteTooLongNotice() {
    return QStringLiteral("选区或指令太长，云润色处理不了（选区 ≤4000 字、指令 ≤500 字）");
}

QString PolishStep::notice(CloudFailure failure) {
    switch (failure) {
    case CloudFailure::network:
        return Settings::localized(QStringLiteral("云润色连不上（检查网络），本次已写入原文"),
                                   QStringLiteral("Cloud polish unreachable (check network) — original text inserted"));
    case CloudFailure::quota:
        return Settings::localized(QStringLiteral("本月云润色额度已用完，本次已写入原文"),
                                   QStringLiteral("Cloud polish quota used up this month — original text inserted"));
    case CloudFailure::unavailable:
        return Settings::localized(QStringLiteral("云润色暂不可用，本次已写入原文"),
                                   QStringLiteral("Cloud polish unavailable — original text inserted"));
    }
    return {};
}

QString PolishStep::localModeUnsupportedNotice() {
    return Settings::localized(
        QStringLiteral("本地润色目前只支持「整理」模式，翻译等模式需开启云润色，已保留原文"),
        QStringLiteral("Local polish only supports Clean mode — turn on cloud polish for Translate and other modes. "
                       "Original text kept"));
}

QString PolishStep::cloudFailedLocalUsedNotice() {
    return Settings::localized(QStringLiteral("云润色暂不可用，本次用本地整理"),
                               QStringLiteral("Cloud polish unavailable — used local polish"));
}

QString PolishStep::toneFellBackNotice() {
    return Settings::localized(QStringLiteral("本地润色未能按所选语气整理，本次用自然语气"),
                               QStringLiteral("Local polish couldn't apply the selected tone — used Natural this time"));
}

QString PolishStep::localFailedNotice() {
    return Settings::localized(QStringLiteral("本地润色未成功，已保留原文"),
                               QStringLiteral("Local polish did not succeed — original text kept"));
}

void PolishStep::showPolishing() const {
    if (m_display.polishing)
        m_display.polishing();
}

bool PolishStep::hasServingPlan() {
    m_cloud.refreshIfStale(decisionAge);
    return m_cloud.servingPlan().has_value();
}

Task<PolishStep::Result> PolishStep::polishIfNeeded(QString text, PolishMode mode, std::optional<QString> targetApp) {
    // Verbatim means no polish and nothing to explain.
    if (mode == PolishMode::raw)
        co_return Result{text, PolishSource::original, std::nullopt};
    const bool structured = mode == PolishMode::prompt || mode == PolishMode::commit || mode == PolishMode::task ||
                            mode == PolishMode::doc || mode == PolishMode::custom;
    if (structured && text::graphemeCount(text) < 7)
        co_return Result{text, PolishSource::original, std::nullopt};

    const bool cloudOff = Settings::cloudPolishUserDisabled();
    const bool officialUsable = !cloudOff && hasServingPlan();
    std::optional<CloudFailure> reason;
    if (!cloudOff && !(officialUsable || Settings::skipPolish()))
        reason = m_cloud.unusableReason();

    const QList<PolishRoute> routes = PolishSource::currentRoutes(mode, officialUsable, m_cloud, m_engine);
    if (routes.isEmpty()) {
        std::optional<QString> n;
        if (reason)
            n = notice(*reason);
        else if (PolishSource::currentLocalModeUnsupported(mode, officialUsable, m_cloud))
            n = localModeUnsupportedNotice();
        co_return Result{text, PolishSource::original, n};
    }

    std::optional<CloudPolishRequest> request;
    if (routes.contains(PolishRoute::official))
        request = cloudPolishRequest(mode, text, mode == PolishMode::custom ? Settings::customPrompt() : std::nullopt,
                                     targetApp);

    std::optional<PolishRoute> lastTried;
    for (PolishRoute route : routes) {
        lastTried = route;
        if (route == PolishRoute::official) {
            if (!request) {
                reason = m_cloud.lastFailure().value_or(CloudFailure::unavailable);
                continue;
            }
            showPolishing();
            if (auto answer = co_await m_cloud.polish(*request))
                co_return Result{*answer, PolishSource::cloud, std::nullopt};
            reason = m_cloud.lastFailure().value_or(CloudFailure::unavailable);
        } else {
            if (auto r = co_await localPolish(text)) {
                std::optional<QString> n;
                if (reason)
                    n = cloudFailedLocalUsedNotice();
                else if (r->toneFellBack)
                    n = toneFellBackNotice();
                co_return Result{r->text, PolishSource::local, n};
            }
        }
    }
    std::optional<QString> n;
    if (lastTried == PolishRoute::local && !reason)
        n = localFailedNotice();
    else if (reason)
        n = notice(*reason);
    co_return Result{text, PolishSource::original, n};
}

Task<std::optional<PolishStep::LocalResult>> PolishStep::localPolish(QString text) {
    const ToneLevel tone = Settings::toneLevel();
    const std::optional<QString> customTone = Settings::customTonePrompt();
    const QString key = toneKey(tone);
    const std::optional<QString> toneText = CloudPolishContract::serverToneText(tone, customTone);

    const auto first = co_await localPolishOnce(text, key, toneText);
    if (!first)
        co_return std::nullopt;
    if (PolishGuard::validate(text, *first, ToneExamples::localFewshotOutputs(tone, customTone),
                              ratioMax(tone, customTone)))
        co_return LocalResult{*first, false};
    if (key != QLatin1String("natural") || toneText) {
        qCInfo(Log::app) << "本地润色按所选语气未过守卫，改用自然档重试";
        const auto second = co_await localPolishOnce(text, QStringLiteral("natural"), std::nullopt);
        if (second && PolishGuard::validate(text, *second,
                                            ToneExamples::localFewshotOutputs(ToneLevel::natural, std::nullopt), 1.3))
            co_return LocalResult{*second, true};
    }
    qCInfo(Log::app) << "本地润色被输出守卫拦截，回退";
    co_return std::nullopt;
}

Task<std::optional<QString>> PolishStep::localPolishOnce(QString text, QString tone, std::optional<QString> toneText) {
    showPolishing();
    auto accumulated = std::make_shared<QString>();
    std::function<void(const QString&)> onDelta = [accumulated, caption = m_display.caption](const QString& delta) {
        *accumulated += delta;
        if (caption)
            caption(*accumulated);
    };
    Task<std::optional<QString>> polishing = m_engine.polish(text, tone, toneText, onDelta);
    co_return co_await std::move(polishing);
}

QStringList PolishStep::glossarySource(const QString& text) const {
    QStringList source = m_dictionary ? m_dictionary->preferredSpellings() : QStringList();
    if (Settings::builtinLexicon())
        source += TermSound::mentionedTerms(text, 30);
    return source;
}

std::optional<CloudPolishRequest> PolishStep::cloudPolishRequest(PolishMode mode, const QString& text,
                                                                 const std::optional<QString>& instruction,
                                                                 const std::optional<QString>& targetApp) {
    if (Settings::cloudPolishUserDisabled() || !hasServingPlan())
        return std::nullopt;
    const ToneLevel tone = Settings::toneLevel();
    const std::optional<QString> customTone = Settings::customTonePrompt();
    if (mode == PolishMode::raw)
        return std::nullopt;
    if (trimmed(text).isEmpty() || text.size() > 4000)
        return std::nullopt;

    CloudPolishRequest request;
    request.text = text;
    request.mode = rawValue(mode);
    if (CloudPolishContract::sendsTone(mode)) {
        request.tone = toneKey(tone);
        request.toneText = CloudPolishContract::serverToneText(tone, customTone);
    }
    const QString trimmedInstruction = trimmed(instruction.value_or(QString()));
    if (mode == PolishMode::ask) {
        if (trimmedInstruction.isEmpty() || trimmedInstruction.size() > 500)
            return std::nullopt;
        request.instruction = trimmedInstruction;
    }
    if (mode == PolishMode::custom) {
        if (trimmedInstruction.size() > 2000)
            return std::nullopt;
        if (!trimmedInstruction.isEmpty())
            request.instruction = trimmedInstruction;
    }
    if (mode == PolishMode::translate) {
        request.lang = CloudPolishContract::serverLanguage(Settings::translateTarget());
        if (!request.lang)
            return std::nullopt;
    }
    if (const QStringList glossary = CloudPolishContract::glossaryTerms(glossarySource(text)); !glossary.isEmpty())
        request.glossary = glossary;
    if (mode != PolishMode::ask && targetApp) {
        const QString context = trimmed(*targetApp);
        if (!context.isEmpty() && context.size() <= 80)
            request.context = context;
    }
    return request;
}

std::optional<CloudPolishRequest> PolishStep::translationRequest(const QString& selection, const QString& target) {
    if (Settings::cloudPolishUserDisabled() || !hasServingPlan())
        return std::nullopt;
    if (trimmed(selection).isEmpty() || selection.size() > 4000)
        return std::nullopt;
    const auto lang = CloudPolishContract::serverLanguage(target);
    if (!lang)
        return std::nullopt;
    const ToneLevel tone = Settings::toneLevel();
    CloudPolishRequest request;
    request.text = selection;
    request.mode = rawValue(PolishMode::translate);
    request.tone = toneKey(tone);
    request.toneText = CloudPolishContract::serverToneText(tone, Settings::customTonePrompt());
    request.lang = lang;
    if (const QStringList glossary = CloudPolishContract::glossaryTerms(glossarySource(selection)); !glossary.isEmpty())
        request.glossary = glossary;
    return request;
}

Task<std::optional<QString>> PolishStep::cloudPolish(std::optional<CloudPolishRequest> request) {
    if (!request)
        co_return std::nullopt;
    showPolishing();
    co_return co_await m_cloud.polish(*request);
}

} // namespace zelk
