#include "engine_harness.h"

#include "core/settings.h"
#include "language/personal_dictionary.h"
#include "language/term_sound.h"
#include "polish/polish_source.h"
#include "polish/polish_step.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace zelk;
using namespace zelk::test;
using Response = LoopbackHttpServer::Response;
namespace K = Settings::Key;

namespace {

const QString sentence = QStringLiteral("那个我们明天下午开会讨论一下预算");

class Step : public ::testing::Test {
protected:
    void SetUp() override { set(K::appLanguage, "zh"); }
    void set(const QString& key, const QJsonValue& value) { cloud.home.preferences().setValue(key, value); }
    void localReady(const char* mode = "good") {
        set(K::localPolish, true);
        local.installRuntime();
        local.installModel();
        local.start(mode);
    }
    PolishStep& step() {
        if (!local.engine)
            local.start("good");
        if (!m_step)
            m_step.emplace(PolishStep::Display{[this] { ++polishingShown; }, [this](const QString& c) { caption = c; }},
                           cloud.service, *local.engine, dictionary.get());
        return *m_step;
    }
    PolishStep::Result run(const QString& text, PolishMode mode, std::optional<QString> app = QStringLiteral("Mousepad")) {
        Launched<PolishStep::Result> call(step().polishIfNeeded(text, mode, app));
        EXPECT_TRUE(call.wait(10'000));
        return call.value();
    }
    QJsonObject lastPolishBody() const {
        for (auto it = cloud.server.requests().crbegin(); it != cloud.server.requests().crend(); ++it)
            if (it->path == QLatin1String("/v1/polish"))
                return QJsonDocument::fromJson(it->body).object();
        return {};
    }

    CloudHarness cloud;
    EngineHarness local{cloud.clock};
    std::unique_ptr<PersonalDictionary> dictionary;
    std::optional<PolishStep> m_step;
    int polishingShown = 0;
    QString caption;
};

const auto original = PolishSource::original;

TEST_F(Step, ShortStructuredTextIsNotPolished) {
    cloud.refresh();
    EXPECT_EQ(run(QStringLiteral("买牛奶"), PolishMode::task), (PolishStep::Result{"买牛奶", original, std::nullopt}));
    EXPECT_EQ(cloud.server.requestCount("/v1/polish"), 0);
}

TEST_F(Step, VerbatimModeIsDeliveredAsSpokenWithoutANotice) {
    cloud.refresh();
    EXPECT_EQ(run(sentence, PolishMode::raw), (PolishStep::Result{sentence, original, std::nullopt}));
}

TEST_F(Step, CloudSuccessCarriesNoNotice) {
    cloud.refresh();
    const auto r = run(sentence, PolishMode::clean);
    EXPECT_EQ(r, (PolishStep::Result{"今天天气不错，我们出去走走。", PolishSource::cloud, std::nullopt}));
    EXPECT_EQ(polishingShown, 1);
    EXPECT_EQ(lastPolishBody().value("context").toString(), QStringLiteral("Mousepad"));
    EXPECT_EQ(lastPolishBody().value("tone").toString(), QStringLiteral("natural"));
}

TEST_F(Step, UserSwitchedCloudOffLocalServesWithoutNotice) {
    set(K::cloudPolishUserDisabled, true);
    localReady();
    EXPECT_EQ(run(sentence, PolishMode::clean), (PolishStep::Result{sentence + "。", PolishSource::local, std::nullopt}));
    EXPECT_EQ(cloud.server.requests().size(), 0);
    EXPECT_EQ(caption, sentence + "。"); // streamed into the caption
}

TEST_F(Step, CloudQuotaFailureFallsBackToLocalWithNotice) {
    localReady();
    cloud.refresh();
    cloud.polishAnswer = Response::json(429, R"({"error":"quota_exceeded"})");
    EXPECT_EQ(run(sentence, PolishMode::clean),
              (PolishStep::Result{sentence + "。", PolishSource::local, QStringLiteral("云润色暂不可用，本次用本地整理")}));
}

TEST_F(Step, ExhaustedQuotaWithoutLocalGivesTheQuotaNotice) {
    cloud.meAnswer = Response::json(200, servingMe(100, 100));
    cloud.refresh();
    EXPECT_EQ(run(sentence, PolishMode::clean),
              (PolishStep::Result{sentence, original, QStringLiteral("本月云润色额度已用完，本次已写入原文")}));
}

TEST_F(Step, LocalAskedForAnotherModeExplainsWhy) {
    set(K::cloudPolishUserDisabled, true);
    localReady();
    const auto r = run(sentence, PolishMode::translate);
    EXPECT_EQ(r.source, original);
    EXPECT_EQ(r.notice, QStringLiteral("本地润色目前只支持「整理」模式，翻译等模式需开启云润色，已保留原文"));
}

TEST_F(Step, ToneRejectedThenNaturalAccepted) {
    set(K::cloudPolishUserDisabled, true);
    set(K::toneLevel, 4);
    localReady("tone_sensitive");
    LogCapture log;
    EXPECT_EQ(run(sentence, PolishMode::clean),
              (PolishStep::Result{sentence + "。", PolishSource::local,
                                  QStringLiteral("本地润色未能按所选语气整理，本次用自然语气")}));
    EXPECT_TRUE(log.contains(QStringLiteral("本地润色按所选语气未过守卫，改用自然档重试")));
}

TEST_F(Step, LocalFailureWithoutCloudReasonKeepsTheOriginal) {
    set(K::cloudPolishUserDisabled, true);
    localReady("crash");
    EXPECT_EQ(run(sentence, PolishMode::clean),
              (PolishStep::Result{sentence, original, QStringLiteral("本地润色未成功，已保留原文")}));
}

TEST_F(Step, NaturalToneRejectedIsNotRetried) {
    set(K::cloudPolishUserDisabled, true);
    localReady("blank");
    EXPECT_EQ(run(sentence, PolishMode::clean).source, original);
    EXPECT_EQ(local.commandCount("polish"), 1);
}

TEST_F(Step, OversizedCustomPromptSkipsTheCloud) {
    cloud.refresh();
    set(K::customPrompt, QString(2001, QChar(u'x')));
    EXPECT_EQ(run(sentence, PolishMode::custom),
              (PolishStep::Result{sentence, original, QStringLiteral("云润色暂不可用，本次已写入原文")}));
    EXPECT_EQ(cloud.server.requestCount("/v1/polish"), 0);
}

TEST_F(Step, CloudTimeoutGivesTheNetworkNoticeInEnglish) {
    set(K::appLanguage, "en");
    cloud.refresh();
    cloud.polishAnswer = Response::hold();
    Launched<PolishStep::Result> call(step().polishIfNeeded(sentence, PolishMode::clean, std::nullopt));
    ASSERT_TRUE(waitUntil([&] { return cloud.server.heldCount() == 1; }));
    cloud.clock.advance(std::chrono::seconds(10));
    ASSERT_TRUE(call.wait());
    EXPECT_EQ(call.value().notice, QStringLiteral("Cloud polish unreachable (check network) — original text inserted"));
}

TEST_F(Step, RequestsFollowTheModeRules) {
    cloud.refresh();
    dictionary = std::make_unique<PersonalDictionary>(cloud.home.path() + "/dictionary.json");
    dictionary->replaceAll({QStringLiteral("Zelk"), QStringLiteral("zelk"), QStringLiteral("吉特哈布=GitHub")});
    set(K::builtinLexicon, false);
    set(K::toneLevel, 6);
    set(K::customTonePrompt, QStringLiteral(" 轻松 "));
    auto& s = step();

    const auto clean = s.cloudPolishRequest(PolishMode::clean, sentence, std::nullopt, QStringLiteral(" Kate "));
    ASSERT_TRUE(clean);
    EXPECT_EQ(clean->tone, QStringLiteral("natural"));
    EXPECT_EQ(clean->toneText, QStringLiteral("轻松"));
    EXPECT_EQ(clean->context, QStringLiteral("Kate"));
    EXPECT_EQ(clean->glossary, (QStringList{"Zelk", "GitHub"}));

    const auto commit = s.cloudPolishRequest(PolishMode::commit, sentence, std::nullopt, QStringLiteral("xterm"));
    ASSERT_TRUE(commit);
    EXPECT_FALSE(commit->tone);
    EXPECT_EQ(commit->context, QStringLiteral("xterm"));

    const auto ask = s.cloudPolishRequest(PolishMode::ask, sentence, QStringLiteral(" 改正式 "), QStringLiteral("xterm"));
    ASSERT_TRUE(ask);
    EXPECT_FALSE(ask->tone);
    EXPECT_FALSE(ask->context);
    EXPECT_EQ(ask->instruction, QStringLiteral("改正式"));
    EXPECT_FALSE(s.cloudPolishRequest(PolishMode::ask, sentence, QString(501, QChar(u'x')), std::nullopt));
    EXPECT_FALSE(s.cloudPolishRequest(PolishMode::ask, sentence, std::nullopt, std::nullopt));

    EXPECT_FALSE(s.cloudPolishRequest(PolishMode::clean, QString(4001, QChar(u'字')), std::nullopt, std::nullopt));
    EXPECT_FALSE(s.cloudPolishRequest(PolishMode::clean, QStringLiteral(" \n"), std::nullopt, std::nullopt));
    EXPECT_FALSE(s.cloudPolishRequest(PolishMode::clean, sentence, std::nullopt, QString(81, QChar(u'a')))->context);

    set(K::translateTarget, QStringLiteral("日语"));
    EXPECT_EQ(s.cloudPolishRequest(PolishMode::translate, sentence, std::nullopt, std::nullopt)->lang, QStringLiteral("日本語"));
    set(K::translateTarget, QStringLiteral("Klingon"));
    EXPECT_FALSE(s.cloudPolishRequest(PolishMode::translate, sentence, std::nullopt, std::nullopt));

    const auto translation = s.translationRequest(sentence, QStringLiteral("English"));
    ASSERT_TRUE(translation);
    EXPECT_EQ(translation->mode, QStringLiteral("translate"));
    EXPECT_EQ(translation->lang, QStringLiteral("English"));
    EXPECT_FALSE(translation->context);
    EXPECT_FALSE(translation->instruction);

    set(K::cloudPolishUserDisabled, true);
    EXPECT_FALSE(s.cloudPolishRequest(PolishMode::clean, sentence, std::nullopt, std::nullopt));
}

TEST_F(Step, BuiltinLexiconAddsMentionedTerms) {
    cloud.refresh();
    set(K::builtinLexicon, true);
    const QString text = QStringLiteral("我用 github 和 chatgpt 写代码");
    const auto request = step().cloudPolishRequest(PolishMode::clean, text, std::nullopt, std::nullopt);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->glossary.value_or(QStringList()), TermSound::mentionedTerms(text, 30));
    set(K::builtinLexicon, false);
    EXPECT_FALSE(step().cloudPolishRequest(PolishMode::clean, text, std::nullopt, std::nullopt)->glossary);
}

TEST_F(Step, RoutesPutTheCloudFirstAndLocalOnlyForClean) {
    localReady();
    cloud.refresh();
    EXPECT_EQ(PolishSource::currentRoutes(PolishMode::clean, std::nullopt, cloud.service, *local.engine),
              (QList<PolishRoute>{PolishRoute::official, PolishRoute::local}));
    EXPECT_EQ(PolishSource::currentRoutes(PolishMode::prompt, std::nullopt, cloud.service, *local.engine),
              (QList<PolishRoute>{PolishRoute::official}));
    EXPECT_TRUE(PolishSource::currentLocalModeUnsupported(PolishMode::prompt, false, cloud.service));
    EXPECT_FALSE(PolishSource::currentLocalModeUnsupported(PolishMode::ask, false, cloud.service));
    set(K::skipPolish, true);
    EXPECT_TRUE(PolishSource::currentRoutes(PolishMode::clean, true, cloud.service, *local.engine).isEmpty());
}

} // namespace
