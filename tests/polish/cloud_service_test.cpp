#include "polish_test_support.h"

#include "core/settings.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace zelk;
using namespace zelk::test;
using Response = LoopbackHttpServer::Response;

namespace {

class CloudService : public ::testing::Test {
protected:
    CloudHarness h;
};

TEST_F(CloudService, UserSwitchOffMeansNoTrafficAndNoPlan) {
    h.refresh();
    ASSERT_TRUE(h.service.servingPlan());
    h.home.preferences().setValue(Settings::Key::cloudPolishUserDisabled, true);
    EXPECT_FALSE(h.service.servingPlan());
    EXPECT_FALSE(h.polish(CloudHarness::request()));
    EXPECT_EQ(h.server.requestCount("/v1/polish"), 0);
}

TEST_F(CloudService, SuccessSendsTheContractAndAmendsTheStatus) {
    h.refresh();
    auto request = CloudHarness::request();
    request.model = QStringLiteral("strong");
    EXPECT_EQ(h.polish(request), QStringLiteral("今天天气不错，我们出去走走。"));
    const auto& sent = h.server.requests().last();
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.headers.value("authorization"), "Bearer " + CloudHarness::token.toUtf8());
    EXPECT_TRUE(sent.headers.value("user-agent").startsWith("Zelk-Mac/"));
    EXPECT_EQ(sent.headers.value("content-type"), "application/json");
    EXPECT_EQ(QJsonDocument::fromJson(sent.body).object().value("model").toString(), QStringLiteral("auto"));
    EXPECT_EQ(h.service.status()->lastRemaining, 50);
    EXPECT_FALSE(h.service.lastFailure());
    EXPECT_FALSE(h.service.notice());
    const auto& me = h.server.requests().first();
    EXPECT_EQ(me.method, "GET");
    EXPECT_FALSE(me.headers.contains("content-type"));
}

struct FailureCase {
    const char* name;
    int status;
    QByteArray body;
    CloudFailure failure;
    std::optional<QString> notice;
    bool planAfter;
    bool refreshes;
};

class CloudServiceFailure : public CloudService, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CloudServiceFailure, MapsTheAnswer) {
    const auto& c = GetParam();
    h.refresh();
    // The refresh that a quota answer starts may land first: it must agree.
    if (c.failure == CloudFailure::quota)
        h.meAnswer = Response::json(200, servingMe(100, 100));
    h.service.setNotice(QStringLiteral("earlier"));
    h.polishAnswer = Response::json(c.status, c.body);
    EXPECT_FALSE(h.polish(CloudHarness::request()));
    EXPECT_EQ(h.service.lastFailure(), c.failure);
    EXPECT_EQ(h.service.notice(), c.notice);
    EXPECT_EQ(h.service.servingPlan().has_value(), c.planAfter);
    if (c.refreshes)
        EXPECT_TRUE(waitUntil([&] { return h.server.requestCount("/v1/me") == 2 && !h.service.isRefreshing(); }));
    else
        EXPECT_EQ(h.server.requestCount("/v1/me"), 1);
}

const QString fallbackNotice = QStringLiteral("云润色暂不可用，已回退其他润色方式");

INSTANTIATE_TEST_SUITE_P(
    CloudService, CloudServiceFailure,
    ::testing::Values(
        FailureCase{"quota", 429, R"({"error":"quota_exceeded"})", CloudFailure::quota,
                    QStringLiteral("本月云润色额度已用完，已回退其他润色方式"), false, true},
        FailureCase{"region", 403, R"({"error":"region_unavailable"})", CloudFailure::unavailable,
                    QStringLiteral("暂未在当前地区开放"), false, true},
        FailureCase{"payment", 402, "", CloudFailure::unavailable, fallbackNotice, true, true},
        FailureCase{"notConfigured", 503, R"({"error":"polish_not_configured"})", CloudFailure::unavailable,
                    fallbackNotice, true, false},
        FailureCase{"serverError", 500, "oops", CloudFailure::unavailable, QStringLiteral("earlier"), true, false},
        FailureCase{"malformedJson", 200, "{\"text\": \"half", CloudFailure::unavailable, QStringLiteral("earlier"),
                    true, false},
        FailureCase{"wrongType", 200, R"({"text":["a"]})", CloudFailure::unavailable, QStringLiteral("earlier"), true,
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CloudService, RejectedTokenResetsTheAccountState) {
    h.refresh();
    h.polishAnswer = Response::json(401, R"({"error":"bad_token"})");
    EXPECT_FALSE(h.polish(CloudHarness::request()));
    EXPECT_FALSE(h.service.status());
    EXPECT_FALSE(h.service.lastFailure()); // reset() by the account layer
    EXPECT_FALSE(h.service.servingPlan());
}

TEST_F(CloudService, TimeOutIsANetworkFailureAndSuccessClearsIt) {
    h.refresh();
    h.polishAnswer = Response::hold();
    Launched<std::optional<QString>> call(h.service.polish(CloudHarness::request()));
    ASSERT_TRUE(waitUntil([&] { return h.server.heldCount() == 1; }));
    h.clock.advance(std::chrono::milliseconds(9999));
    QCoreApplication::processEvents();
    EXPECT_FALSE(call.done());
    h.clock.advance(std::chrono::milliseconds(1));
    ASSERT_TRUE(call.wait());
    EXPECT_FALSE(call.value());
    EXPECT_EQ(h.service.lastFailure(), CloudFailure::network);
    EXPECT_EQ(h.service.notice(), QStringLiteral("云润色暂时连不上，请检查网络"));

    h.polishAnswer = Response::json(200, R"({"text":"好"})");
    EXPECT_EQ(h.polish(CloudHarness::request()), QStringLiteral("好"));
    EXPECT_FALSE(h.service.lastFailure());
    EXPECT_FALSE(h.service.notice());
}

TEST_F(CloudService, DroppedConnectionIsANetworkFailure) {
    h.refresh();
    h.polishAnswer = Response::drop();
    EXPECT_FALSE(h.polish(CloudHarness::request()));
    EXPECT_EQ(h.service.lastFailure(), CloudFailure::network);
    EXPECT_EQ(h.service.unusableReason(), CloudFailure::network);
}

TEST_F(CloudService, AnswerThatCrossesAResetIsDropped) {
    h.refresh();
    h.polishAnswer = Response::hold();
    Launched<std::optional<QString>> call(h.service.polish(CloudHarness::request()));
    ASSERT_TRUE(waitUntil([&] { return h.server.heldCount() == 1; }));
    h.service.reset();
    h.server.releaseHeld(Response::json(429, R"({"error":"quota_exceeded"})"));
    ASSERT_TRUE(call.wait());
    EXPECT_FALSE(call.value());
    EXPECT_FALSE(h.service.lastFailure());
    EXPECT_FALSE(h.service.notice());
    EXPECT_FALSE(h.service.status());
}

TEST_F(CloudService, SecondRefreshReturnsWhileTheFirstRuns) {
    h.meAnswer = Response::hold();
    h.service.refreshIfStale(std::chrono::seconds(0));
    ASSERT_TRUE(waitUntil([&] { return h.server.heldCount() == 1; }));
    h.refresh();
    EXPECT_EQ(h.server.requestCount("/v1/me"), 1);
    h.server.releaseHeld(Response::json(200, servingMe()));
    EXPECT_TRUE(waitUntil([&] { return h.service.status().has_value(); }));
}

TEST_F(CloudService, RegionBlockLastsAnHourOrUntilReset) {
    h.refresh();
    h.polishAnswer = Response::json(403, R"({"error":"region_unavailable"})");
    h.polish(CloudHarness::request());
    ASSERT_TRUE(waitUntil([&] { return h.server.requestCount("/v1/me") == 2 && !h.service.isRefreshing(); }));
    EXPECT_TRUE(h.service.status()->canServe(1));
    EXPECT_FALSE(h.service.servingPlan());
    h.clock.advance(std::chrono::seconds(3599));
    EXPECT_FALSE(h.service.servingPlan());
    h.clock.advance(std::chrono::seconds(1));
    EXPECT_TRUE(h.service.servingPlan());

    h.polish(CloudHarness::request());
    ASSERT_TRUE(waitUntil([&] { return h.server.requestCount("/v1/me") == 3 && !h.service.isRefreshing(); }));
    EXPECT_FALSE(h.service.servingPlan());
    h.service.reset();
    h.refresh();
    EXPECT_TRUE(h.service.servingPlan());
}

TEST_F(CloudService, StaleRulesAndTheHourlyUnsupportedBackoff) {
    h.refresh();
    h.clock.advance(std::chrono::seconds(300));
    h.service.refreshIfStale(std::chrono::seconds(600));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.server.requestCount("/v1/me"), 1);
    h.service.refreshIfStale(std::chrono::seconds(20));
    ASSERT_TRUE(waitUntil([&] { return h.server.requestCount("/v1/me") == 2 && !h.service.isRefreshing(); }));

    h.meAnswer = Response::withStatus(404);
    h.refresh();
    EXPECT_TRUE(h.service.isUnsupported());
    EXPECT_FALSE(h.service.status());
    h.clock.advance(std::chrono::seconds(3599));
    h.service.refreshIfStale(std::chrono::seconds(20));
    h.service.refreshIfStale(std::chrono::seconds(600));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.server.requestCount("/v1/me"), 3);
    h.clock.advance(std::chrono::seconds(1));
    h.service.refreshIfStale(std::chrono::seconds(600));
    EXPECT_TRUE(waitUntil([&] { return h.server.requestCount("/v1/me") == 4; }));
}

TEST_F(CloudService, RemainingZeroBlocksUntilTheNextStatus) {
    h.refresh();
    h.polishAnswer = Response::json(200, R"({"text":"好","remaining":0})");
    EXPECT_TRUE(h.polish(CloudHarness::request()));
    EXPECT_FALSE(h.service.servingPlan());
    EXPECT_EQ(h.service.unusableReason(), CloudFailure::quota);
    h.refresh();
    EXPECT_TRUE(h.service.servingPlan());
}

TEST_F(CloudService, TransientStatusKeepsWhatIsKnown) {
    h.refresh();
    h.meAnswer = Response::json(502, "bad gateway");
    h.refresh();
    EXPECT_TRUE(h.service.status());
    h.meAnswer = Response::json(200, servingMe(100, 100));
    h.refresh();
    EXPECT_FALSE(h.service.servingPlan());
    EXPECT_EQ(h.service.unusableReason(), CloudFailure::quota);
}

TEST_F(CloudService, WithoutATokenNothingIsAsked) {
    h.secrets.values.clear();
    h.refresh();
    h.service.refreshIfStale(std::chrono::seconds(0));
    QCoreApplication::processEvents();
    EXPECT_TRUE(h.server.requests().isEmpty());
    EXPECT_FALSE(h.polish(CloudHarness::request()));
}

TEST_F(CloudService, UnreadableStoreIsAskedAgainLater) {
    h.secrets.failing = true;
    h.refresh();
    EXPECT_TRUE(h.server.requests().isEmpty());
    h.secrets.failing = false;
    h.refresh();
    EXPECT_TRUE(h.service.status());
    const int reads = h.secrets.reads;
    h.refresh();
    EXPECT_EQ(h.secrets.reads, reads); // cached once read
}

// Every line logged while the service works and fails, and every file it may
// have written, is free of the token.


TEST_F(CloudService, TokenNeverReachesTheLogOrAFile) {
    std::optional<LogCapture> log(std::in_place);
    h.refresh();
    for (const auto& answer : {Response::json(401, ""), Response::json(500, CloudHarness::token.toUtf8()),
                               Response::drop(), Response::json(200, "{}")}) {
        h.refresh();
        h.polishAnswer = answer;
        h.polish(CloudHarness::request());
    }
    const QStringList lines = log->lines();
    log.reset();
    ASSERT_FALSE(lines.isEmpty());
    for (const QString& line : lines)
        EXPECT_FALSE(line.contains(CloudHarness::token)) << line.toStdString();
    QDirIterator files(h.home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_FALSE(file.readAll().contains(CloudHarness::token.toUtf8())) << file.fileName().toStdString();
    }
}

} // namespace
