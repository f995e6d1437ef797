#include "polish/cloud_polish_contract.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace zelk;
namespace C = CloudPolishContract;

namespace {

TEST(CloudContractParse, TrimsTextAndReadsOnlyRealNumbers) {
    const auto r = C::parse(R"({"text":"  你好  ","used":3,"quota":100,"remaining":97,"model":"","units":1})");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->text, QStringLiteral("你好"));
    EXPECT_FALSE(r->model);
    EXPECT_EQ(r->remaining, 97);
    EXPECT_EQ(r->units, 1);

    const auto odd = C::parse(R"({"text":"x","used":true,"quota":"100","remaining":2.9,"units":1e300})");
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->used);
    EXPECT_FALSE(odd->quota);
    EXPECT_EQ(odd->remaining, 2);
    EXPECT_EQ(odd->units, 9000000000000000000LL); // saturated, not undefined
}

TEST(CloudContractParse, UnusableBodiesGiveNothing) {
    for (const QByteArray& body : {QByteArray(""), QByteArray("[1]"), QByteArray(R"({"text":"   "})"),
                                  QByteArray(R"({"text":7})"), QByteArray("{\"text\":\"\xff\xfe\"")})
        EXPECT_FALSE(C::parse(body)) << body.toStdString();
}

struct MeCase {
    const char* name;
    int status;
    QByteArray body;
    C::MeResult expected;
};

CloudPolishStatus minimalStatus() {
    CloudPolishStatus s;
    s.active = true;
    s.state = QStringLiteral("ok");
    return s;
}

class ParseMe : public ::testing::TestWithParam<MeCase> {};

TEST_P(ParseMe, ClassifiesTheStatusAnswer) {
    EXPECT_EQ(C::parseMe(GetParam().status, GetParam().body), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CloudContract, ParseMe,
    ::testing::Values(MeCase{"notFound", 404, "", C::Unsupported{}}, MeCase{"rejected", 401, "", C::Unauthorized{}},
                      MeCase{"serverError", 500, R"({"polish":{"active":true,"state":"ok"}})", C::Transient{}},
                      MeCase{"notJson", 200, "<html>", C::Unsupported{}},
                      MeCase{"noState", 200, R"({"polish":{"active":true}})", C::Unsupported{}},
                      MeCase{"activeAsText", 200, R"({"polish":{"active":"yes","state":"ok"}})", C::Unsupported{}},
                      MeCase{"minimal", 200, R"({"polish":{"active":true,"state":"ok"}})", minimalStatus()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CloudContractParseMe, ReadsModelsAndSkipsUnknownOnes) {
    const auto me = C::parseMe(200, R"({"polish":{"active":true,"state":"ok","used":5,"quota":100,
        "available_in_region":true,"serving":false,"models":[{"id":"turbo","units":9},{"id":"fast"},
        {"id":"strong","model":"big"},"junk"]}})");
    const auto* s = std::get_if<CloudPolishStatus>(&me);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->used, 5);
    EXPECT_EQ(s->serving, false);
    ASSERT_EQ(s->models.size(), 2);
    EXPECT_EQ(s->models[0], (CloudPolishModelInfo{"fast", 1, std::nullopt}));
    EXPECT_EQ(s->models[1], (CloudPolishModelInfo{"strong", 3, QStringLiteral("big")}));
}

TEST(CloudPolishStatusTest, CanServeFollowsServingFlagAndAllowance) {
    CloudPolishStatus s = minimalStatus();
    s.availableInRegion = true;
    EXPECT_TRUE(s.canServe(1)); // no known limit
    s.quota = 100;
    s.used = 100;
    EXPECT_FALSE(s.canServe(1));
    s.quota = 0;
    s.lastRemaining = 0;
    EXPECT_FALSE(s.canServe(1));
    s.lastRemaining.reset();
    s.serving = false;
    EXPECT_FALSE(s.canServe(1));
    s.serving = true;
    s.availableInRegion = false;
    EXPECT_TRUE(s.canServe(1));
}

TEST(CloudPolishStatusTest, StrongFallsBackToFastWhenOnlyFastIsAffordable) {
    CloudPolishStatus s = minimalStatus();
    s.availableInRegion = true;
    s.quota = 10;
    s.used = 8;
    EXPECT_EQ(s.servingPlan(CloudModelOption::strong), (CloudModelPlan{CloudModelOption::fast, true}));
    EXPECT_EQ(s.servingPlan(CloudModelOption::automatic), (CloudModelPlan{CloudModelOption::automatic, false}));
    s.used = 10;
    EXPECT_FALSE(s.servingPlan(CloudModelOption::strong));
    s.used = 0;
    s.models = {{"fast", 0, std::nullopt}};
    EXPECT_EQ(s.units(CloudModelOption::fast), 1); // raised to at least one
}

TEST(CloudContractTexts, LanguagesToneTextAndGlossary) {
    EXPECT_EQ(C::serverLanguage(QStringLiteral(" 日语 ")), QStringLiteral("日本語"));
    EXPECT_EQ(C::serverLanguage(QStringLiteral("Deutsch")), QStringLiteral("Deutsch"));
    EXPECT_FALSE(C::serverLanguage(QStringLiteral("Japanese")));

    EXPECT_FALSE(C::serverToneText(ToneLevel::formal, QStringLiteral("x")));
    EXPECT_FALSE(C::serverToneText(ToneLevel::custom, QStringLiteral("  ")));
    EXPECT_EQ(C::serverToneText(ToneLevel::custom, QString(300, QChar(u'汉')))->size(), 200);
    // The 200th unit is the first half of a surrogate pair: cut before that character.
    const QString emoji = QString(199, QChar(u'a')) + QString::fromUcs4(U"😀") + QStringLiteral("b");
    EXPECT_EQ(*C::serverToneText(ToneLevel::custom, emoji), QString(199, QChar(u'a')));

    EXPECT_EQ(C::glossaryTerms({QStringLiteral("GitHub"), QStringLiteral("github"), QStringLiteral(" "),
                                QString(41, QChar(u'x')), QStringLiteral("Zed")}),
              (QStringList{"GitHub", "Zed"}));
    QStringList many;
    for (int i = 0; i < 150; ++i)
        many << QStringLiteral("term%1").arg(i);
    EXPECT_EQ(C::glossaryTerms(many).size(), 100);
}

TEST(CloudContractTexts, NoticesAndRefreshRules) {
    EXPECT_EQ(C::polishNotice(429, QStringLiteral("quota_exceeded")), QStringLiteral("本月云润色额度已用完，已回退其他润色方式"));
    EXPECT_EQ(C::polishNotice(403, QStringLiteral("region_unavailable")), QStringLiteral("暂未在当前地区开放"));
    EXPECT_EQ(C::polishNotice(402, std::nullopt), QStringLiteral("云润色暂不可用，已回退其他润色方式"));
    EXPECT_EQ(C::polishNotice(503, QStringLiteral("polish_not_configured")), QStringLiteral("云润色暂不可用，已回退其他润色方式"));
    EXPECT_FALSE(C::polishNotice(503, std::nullopt));
    EXPECT_FALSE(C::polishNotice(500, QStringLiteral("quota_exceeded")));
    EXPECT_EQ(C::errorCode(R"({"error":"quota_exceeded"})"), QStringLiteral("quota_exceeded"));
    EXPECT_FALSE(C::errorCode(R"({"error":5})"));
    EXPECT_FALSE(C::errorCode("oops"));
    for (int status : {402, 403, 429})
        EXPECT_TRUE(C::shouldRefreshStatus(status));
    EXPECT_FALSE(C::shouldRefreshStatus(500));
}

TEST(CloudPolishRequestTest, AbsentMembersAreLeftOut) {
    CloudPolishRequest r;
    r.text = QStringLiteral("文本");
    r.mode = QStringLiteral("clean");
    r.toneText = QStringLiteral("轻松");
    const QJsonObject o = QJsonDocument::fromJson(r.toJson()).object();
    EXPECT_EQ(o.keys(), (QStringList{"mode", "model", "text", "tone_text"}));
    EXPECT_EQ(o.value("model").toString(), QStringLiteral("auto"));
}

} // namespace
