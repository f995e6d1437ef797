#include "asr/asr_model_downloader.h"
#include "asr/model_locator.h"
#include "support/loopback_http_server.h"
#include "audio/log_capture.h"
#include "audio/model_archives.h"
#include "core/clock.h"
#include "core/settings.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonValue>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace zelk;
using namespace zelk::test;
using namespace std::chrono_literals;

namespace {

using Phase = ASRModelDownloader::Phase;
using Kind = Phase::Kind;
using Reply = LoopbackHttpServer::Response;

const QString streaming = ModelLocator::streamingModelName;
const QString qwen = ModelLocator::qwen3ModelName;

class ModelDownloader : public testing::Test {
protected:
    void SetUp() override {
        m_modelDirEnv = qgetenv(ModelLocator::modelDirEnv);
        qunsetenv(ModelLocator::modelDirEnv);
        home.preferences().setValue(Settings::Key::appLanguage, QJsonValue("en"));
        const Archives& a = Archives::get();
        models = {{streaming, double(a.bytes[streaming].size())}, {qwen, double(a.bytes[qwen].size())}};
        serveFrom("/primary");
        server.setHandler([this](const LoopbackHttpServer::Request& request) { return route(request.path); });
    }
    void TearDown() override {
        if (!m_modelDirEnv.isNull())
            qputenv(ModelLocator::modelDirEnv, m_modelDirEnv);
    }

    // Which paths answer what: by default every archive under /primary and /fallback.
    std::function<Reply(const QString&)> route;
    void serveFrom(const QString& prefix, std::function<Reply(const QString& name)> other = {}) {
        route = [prefix, other](const QString& path) {
            const QString name = path.section('/', -1).chopped(int(strlen(".tar.bz2")));
            if (path.startsWith(prefix + "/") && Archives::get().bytes.contains(name))
                return Reply::bytes(Archives::get().bytes[name]);
            return other ? other(path) : Reply::withStatus(404);
        };
    }
    QString base(const QString& prefix) const { return server.baseUrl().toString() + prefix; }

    std::unique_ptr<ASRModelDownloader> make(std::optional<qint64> capacity = 100'000'000'000) {
        ModelDownloadConfig config;
        config.models = models;
        config.makerMirror = base("/primary");
        config.fallback = base("/fallback");
        config.availableCapacity = [capacity] { return capacity; };
        auto d = std::make_unique<ASRModelDownloader>(config, clock);
        QObject::connect(d.get(), &ASRModelDownloader::phaseChanged, [this, raw = d.get()] { phases.append(raw->phase()); });
        QObject::connect(d.get(), &ASRModelDownloader::progressChanged,
                         [this, raw = d.get()] { progress.append(raw->progress()); });
        d->onInstalled = [this] { ++installed; };
        return d;
    }
    bool settle(ASRModelDownloader& d, int ms = 30000) {
        return waitUntil([&] { return !d.isBusy(); }, ms);
    }
    QString modelDir(const QString& name) const { return ModelLocator::cacheDir() + "/" + name; }
    void preinstall(const QString& name) {
        QDir().mkpath(modelDir(name));
        QFile f(modelDir(name) + "/tokens.txt");
        f.open(QIODevice::WriteOnly);
        f.write("installed before\n");
    }
    QStringList cacheEntries() const {
        return QDir(ModelLocator::cacheDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    TestHome home;
    VirtualClock clock;
    LoopbackHttpServer server;
    QList<RecognitionModel> models;
    QList<Phase> phases;
    QList<double> progress;
    int installed = 0;
    LogCapture log;
    QByteArray m_modelDirEnv;
};

TEST_F(ModelDownloader, InstallsEveryMissingModelWithProgressInTwoMebibyteSteps) {
    auto d = make();
    EXPECT_EQ(d->missing().size(), 2);
    d->start();
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase{}) << d->phase().message.toStdString();
    EXPECT_EQ(installed, 1);
    EXPECT_TRUE(d->missing().isEmpty());
    EXPECT_TRUE(QFile::exists(modelDir(streaming) + "/tokens.txt"));
    EXPECT_TRUE(QFile::exists(modelDir(qwen) + "/encoder.int8.onnx"));
    EXPECT_EQ(cacheEntries(), (QStringList{qwen, streaming})); // no archives, .part files or staging left

    const QList<Phase> expectedPhases{{Kind::downloading, {}}, {Kind::extracting, {}}, {Kind::downloading, {}},
                                      {Kind::extracting, {}},  {Kind::downloading, {}}, {}};
    EXPECT_EQ(phases, expectedPhases);

    // 5 MiB of the first archive: reports at 2 and 4 MiB, then one per finished model.
    const double total = models[0].bytes + models[1].bytes;
    const QList<double> expected{2.0 * 1048576 / total, 4.0 * 1048576 / total, models[0].bytes / total, 1.0};
    ASSERT_EQ(progress.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_DOUBLE_EQ(progress[i], expected[i]) << i;
    EXPECT_EQ(d->progress(), 1.0);
    EXPECT_EQ(log.count(QStringLiteral("模型安装完成：") + streaming), 1);
    EXPECT_EQ(log.count(QStringLiteral("模型安装完成：") + qwen), 1);
}

TEST_F(ModelDownloader, NothingMissingOnlyResetsThePhase) {
    preinstall(streaming);
    preinstall(qwen);
    auto d = make();
    d->start();
    EXPECT_EQ(d->phase(), Phase{});
    EXPECT_EQ(installed, 0);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(ModelDownloader, OnlyTheMissingModelIsFetchedAndTheOtherIsUntouched) {
    preinstall(streaming);
    auto d = make();
    EXPECT_EQ(d->missing(), (QList<RecognitionModel>{models[1]}));
    d->start();
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase{});
    EXPECT_EQ(progress, (QList<double>{1.0}));
    EXPECT_EQ(server.requestCount("/primary/" + streaming + ".tar.bz2"), 0);
    QFile f(modelDir(streaming) + "/tokens.txt");
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), "installed before\n");
}

TEST_F(ModelDownloader, ModelUnderTheEnvironmentRootCountsAsPresent) {
    QTemporaryDir root;
    QDir().mkpath(root.path() + "/" + streaming);
    qputenv(ModelLocator::modelDirEnv, root.path().toUtf8());
    auto d = make();
    EXPECT_EQ(d->missing(), (QList<RecognitionModel>{models[1]}));
}

TEST_F(ModelDownloader, PrimaryFailureFallsBackToTheSecondSource) {
    serveFrom("/fallback");
    auto d = make();
    d->start();
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase{}) << d->phase().message.toStdString();
    EXPECT_EQ(installed, 1);
    EXPECT_EQ(server.requestCount("/primary/" + streaming + ".tar.bz2"), 1);
    EXPECT_EQ(server.requestCount("/fallback/" + streaming + ".tar.bz2"), 1);
    EXPECT_EQ(log.count(QStringLiteral("主源下载失败（Bad server response (HTTP 404)），回退 GitHub 官方源")), 2);
}

TEST_F(ModelDownloader, PreferenceBaseReplacesTheMirrorAndEqualToFallbackMeansNoSecondTry) {
    serveFrom("/fallback");
    home.preferences().setValue(Settings::Key::asrModelBase, QJsonValue(base("/fallback")));
    auto d = make();
    d->start();
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase{});
    EXPECT_EQ(server.requestCount("/primary/" + streaming + ".tar.bz2"), 0);

    // Now the fallback itself answers 404: one request, then failed.
    QDir(modelDir(qwen)).removeRecursively();
    serveFrom("/nowhere");
    d->start();
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase::failed("Bad server response (HTTP 404)"));
    EXPECT_EQ(server.requestCount("/fallback/" + qwen + ".tar.bz2"), 2);
    EXPECT_EQ(log.count("error: 模型下载失败：Bad server response (HTTP 404)"), 1);
    EXPECT_EQ(installed, 1);
}

struct BadArchiveCase {
    const char* name;
    std::function<QByteArray()> body;
};

void PrintTo(const BadArchiveCase& c, std::ostream* os) { *os << c.name; }

class ModelDownloaderBadArchive : public ModelDownloader, public testing::WithParamInterface<BadArchiveCase> {};

// A broken archive fails with the public text, leaves no folder that would count
// as installed, and keeps the model installed before it.
TEST_P(ModelDownloaderBadArchive, FailsWithoutLeavingAHalfModel) {
    models = {models[1], models[0]}; // the intact one first
    const QByteArray body = GetParam().body();
    route = [body](const QString& path) {
        if (path.endsWith(streaming + ".tar.bz2"))
            return Reply::bytes(body);
        return Reply::bytes(Archives::get().bytes[qwen]);
    };
    auto d = make();
    d->start();
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase::failed(QStringLiteral("语音识别模型未找到或不完整，请在设置中重新下载")));
    EXPECT_EQ(installed, 0);
    EXPECT_TRUE(QFile::exists(modelDir(qwen) + "/encoder.int8.onnx"));
    EXPECT_FALSE(QFile::exists(modelDir(streaming)));
    EXPECT_EQ(d->missing().size(), 1);
    for (const QString& entry : cacheEntries())
        EXPECT_FALSE(entry.startsWith(".unpacking")) << entry.toStdString();
    const QStringList errors = log.lines().filter("error: 模型下载失败：modelNotFound(");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(streaming)); // the log keeps the real name
}

INSTANTIATE_TEST_SUITE_P(
    Archives, ModelDownloaderBadArchive,
    testing::Values(BadArchiveCase{"not_bzip2", [] { return QByteArray("<html>mirror error page</html>"); }},
                    BadArchiveCase{"truncated",
                                   [] { return Archives::get().bytes[streaming].left(3 * 1024 * 1024); }},
                    BadArchiveCase{"wrong_folder", [] { return Archives::get().bytes["other"]; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelDownloader, DiskSpaceIsCheckedBeforeAnything) {
    struct Case {
        std::optional<qint64> capacity;
        QString language;
        std::optional<QString> failure;
    };
    const std::vector<Case> cases{
        {2'000'000'000, "zh", QStringLiteral("磁盘空间不足（需约 3 GB 可用）")},
        {3'221'225'471, "en", QStringLiteral("Not enough disk space (~3 GB needed)")},
        {3'221'225'472, "en", std::nullopt},
        {std::nullopt, "en", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capacity ? *c.capacity : -1);
        home.preferences().setValue(Settings::Key::appLanguage, QJsonValue(c.language));
        auto d = make(c.capacity);
        d->start();
        if (c.failure) {
            EXPECT_EQ(d->phase(), Phase::failed(*c.failure));
            EXPECT_TRUE(server.requests().isEmpty());
        } else {
            EXPECT_EQ(d->phase().kind, Kind::downloading);
            ASSERT_TRUE(settle(*d));
            EXPECT_EQ(d->phase(), Phase{});
            QDir(ModelLocator::cacheDir()).removeRecursively();
        }
    }
}

TEST_F(ModelDownloader, SecondStartWhileDownloadingIsIgnored) {
    route = [](const QString&) { return Reply::hold(); };
    auto d = make();
    d->start();
    ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }));
    d->start();
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(d->phase().kind, Kind::downloading);
    EXPECT_EQ(phases.size(), 1);
}

TEST_F(ModelDownloader, StalledServerGivesUpAndTriesTheFallback) {
    route = [](const QString& path) {
        return path.startsWith("/primary") ? Reply::hold() : Reply::withStatus(503);
    };
    auto d = make();
    d->start();
    ASSERT_TRUE(waitUntil([&] { return server.heldCount() == 1; }));
    clock.advance(59s);
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(server.requests().size(), 1);
    clock.advance(1s);
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase::failed("Bad server response (HTTP 503)"));
    EXPECT_EQ(log.count(QStringLiteral("主源下载失败（Download timed out: the server stopped responding），回退 GitHub 官方源")), 1);
}

TEST_F(ModelDownloader, UnusableBasesAndFoldersFailWithAMessage) {
    // A base that is no URL: the model counts as not found.
    home.preferences().setValue(Settings::Key::asrModelBase, QJsonValue("not a url"));
    serveFrom("/fallback");
    auto d = make();
    d->start();
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase{}) << "fell back to the second source";
    EXPECT_EQ(log.count(QStringLiteral("主源下载失败（语音识别模型未找到或不完整，请在设置中重新下载），回退 GitHub 官方源")), 2);

    // A cache folder that cannot be created.
    QDir(ModelLocator::cacheDir()).removeRecursively();
    QFile blocker(ModelLocator::cacheDir());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto again = make();
    again->start();
    ASSERT_TRUE(settle(*again));
    EXPECT_EQ(again->phase().kind, Kind::failed);
    EXPECT_TRUE(again->phase().message.startsWith("Cannot create the model folder: "));
    EXPECT_TRUE(again->phase().message.endsWith("/.cache/zelk-asr"));
    EXPECT_EQ(installed, 1); // only the first downloader finished
}

TEST_F(ModelDownloader, LeftoverPartFileIsReplaced) {
    QDir().mkpath(ModelLocator::cacheDir());
    QFile stale(ModelLocator::cacheDir() + "/" + qwen + ".tar.bz2.part");
    stale.open(QIODevice::WriteOnly);
    stale.write(QByteArray(10'000'000, 'x'));
    stale.close();
    preinstall(streaming);
    auto d = make();
    d->start();
    ASSERT_TRUE(settle(*d));
    EXPECT_EQ(d->phase(), Phase{});
    EXPECT_FALSE(QFile::exists(stale.fileName()));
}

TEST(FileSizeLabel, UsesDecimalUnits) {
    const std::vector<std::pair<qint64, QString>> cases{
        {999, "999 bytes"},          {1000, "1 KB"},          {12'345, "12 KB"},
        {133'898'007, "133.9 MB"},   {878'702'423, "878.7 MB"}, {1'012'600'430, "1.01 GB"},
    };
    for (const auto& [bytes, label] : cases)
        EXPECT_EQ(fileSizeLabel(bytes), label) << bytes;
}

TEST(ModelDownloaderTable, SizesMatchTheLabelOfBothModels) {
    TestHome home;
    const QByteArray env = qgetenv(ModelLocator::modelDirEnv);
    qunsetenv(ModelLocator::modelDirEnv);
    ASRModelDownloader d;
    EXPECT_EQ(d.missing().size(), 2);
    EXPECT_EQ(d.missingSizeLabel(), "1.01 GB");
    if (!env.isNull())
        qputenv(ModelLocator::modelDirEnv, env);
}

} // namespace
