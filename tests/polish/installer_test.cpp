#include "polish_test_support.h"

#include "polish/local_runtime_installer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zelk;
using namespace zelk::test;
using Response = LoopbackHttpServer::Response;

namespace {

// Stands in for the standalone interpreter: builds a "venv" by copying itself
// and "installs" by listing its arguments; $FAKE_PIP_EXIT makes pip fail.
const char* fakePython = R"(#!/bin/sh
if [ "$1" = "-m" ] && [ "$2" = "venv" ]; then mkdir -p "$3/bin" && cp "$0" "$3/bin/python3" && exit 0; fi
if [ "$1" = "-m" ] && [ "$2" = "pip" ]; then
  shift 2
  for a in "$@"; do echo "pip $a"; done
  if [ -n "$FAKE_PIP_EXIT" ]; then echo "pip failed"; exit "$FAKE_PIP_EXIT"; fi
  echo ok > "$(dirname "$0")/../installed"
  exit 0
fi
exit 9
)";

QString sha(const QByteArray& data) { return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()); }

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        // The interpreter archive: python/bin/python3, as the standalone builds lay it out.
        QTemporaryDir build;
        QDir().mkpath(build.path() + "/python/bin");
        QFile py(build.path() + "/python/bin/python3");
        ASSERT_TRUE(py.open(QIODevice::WriteOnly));
        py.write(fakePython);
        py.close();
        py.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_EQ(QProcess::execute("/usr/bin/tar", {"czf", build.path() + "/py.tar.gz", "-C", build.path(), "python"}), 0);
        QFile archive(build.path() + "/py.tar.gz");
        ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
        files["cpython-test.tar.gz"] = archive.readAll();
        for (const char* name : {"alpha-1.0-py3-none-any.whl", "beta-2.0-cp311-cp311-linux_x86_64.whl",
                                 "gamma-0.1-py3-none-any.whl"})
            files[name] = QByteArray(name).repeated(1000 + files.size() * 333);

        table.platform = "linux-x86_64";
        table.python = {"cpython-test.tar.gz", files["cpython-test.tar.gz"].size(), sha(files["cpython-test.tar.gz"]),
                        "local-polish/linux/python/cpython-test.tar.gz",
                        QUrl(server.baseUrl().toString() + "/official/cpython-test.tar.gz")};
        table.wheelMirrorPrefix = "local-polish/linux/wheels/";
        table.packageIndexHost = QUrl(server.baseUrl().toString() + "/pypi");
        for (const char* name : {"alpha-1.0-py3-none-any.whl", "beta-2.0-cp311-cp311-linux_x86_64.whl",
                                 "gamma-0.1-py3-none-any.whl"})
            table.wheels.append({name, files[name].size(), sha(files[name]), std::nullopt});

        qputenv("ZELK_MIRROR_BASE", (server.baseUrl().toString() + "/mirror").toUtf8());
        server.setHandler([this](const LoopbackHttpServer::Request& r) {
            const QString name = r.path.section('/', -1);
            const bool mirror = r.path.startsWith("/mirror/");
            if ((mirror ? mirrorMissing : officialMissing).contains(name) || !files.contains(name))
                return Response::withStatus(404);
            QByteArray body = files[name];
            if ((mirror ? mirrorCorrupt : officialCorrupt).contains(name))
                body[body.size() / 2] = char(body[body.size() / 2] ^ 1);
            return Response::bytes(body);
        });
    }
    void TearDown() override {
        qunsetenv("ZELK_MIRROR_BASE");
        qunsetenv("FAKE_PIP_EXIT");
    }

    QString root() const { return home.path() + "/.cache/zelk-llm"; }

    // Runs an install; answers the error text, or nothing on success.
    std::optional<QString> install() {
        LocalRuntimeInstaller installer(table, root());
        auto run = [](LocalRuntimeInstaller& i, LocalRuntimeInstaller::Fetch fetch,
                      QList<double>* progress) -> Task<std::optional<QString>> {
            try {
                Task<void> installing =
                    i.install(DownloadMirror::Region::domestic, fetch, [progress](double p) { progress->append(p); });
                co_await std::move(installing);
            } catch (const InstallError& e) {
                co_return e.userMessage();
            }
            co_return std::nullopt;
        };
        progress.clear();
        Launched<std::optional<QString>> call(run(installer, LocalRuntimeInstaller::networkFetcher(network, root()), &progress));
        EXPECT_TRUE(call.wait(20'000));
        return call.value();
    }
    int requests(const QString& prefix) const {
        int n = 0;
        for (const auto& r : server.requests())
            n += r.path.startsWith(prefix) ? 1 : 0;
        return n;
    }
    void expectMonotonicToOne() const {
        ASSERT_FALSE(progress.isEmpty());
        for (qsizetype i = 1; i < progress.size(); ++i)
            EXPECT_GE(progress[i], progress[i - 1]);
        EXPECT_EQ(progress.last(), 1.0);
    }

    TestHome home;
    LoopbackHttpServer server;
    QNetworkAccessManager network;
    QHash<QString, QByteArray> files;
    RuntimeTable table;
    QSet<QString> mirrorMissing, officialMissing, mirrorCorrupt, officialCorrupt;
    QList<double> progress;
};

TEST_F(Installer, InstallsFromTheMirrorWithMonotonicProgress) {
    EXPECT_EQ(install(), std::nullopt);
    EXPECT_TRUE(QFileInfo(root() + "/venv/bin/python3").isExecutable());
    EXPECT_TRUE(QFile::exists(root() + "/venv/installed"));
    EXPECT_TRUE(QFileInfo(root() + "/python/bin/python3").isExecutable());
    for (const char* gone : {"/wheels", "/venv-staging", "/python-staging", "/python-download.tar.gz"})
        EXPECT_FALSE(QFile::exists(root() + gone)) << gone;
    EXPECT_EQ(requests("/mirror/"), 4);
    EXPECT_EQ(requests("/official/") + requests("/pypi/"), 0);
    expectMonotonicToOne();
    EXPECT_EQ(progress.value(4), 0.9); // after the downloads: 0.85 · all, then the venv step
}

TEST_F(Installer, MirrorMissingAFileFallsBackToItsOrigin) {
    mirrorMissing << "beta-2.0-cp311-cp311-linux_x86_64.whl";
    LogCapture log;
    EXPECT_EQ(install(), std::nullopt);
    EXPECT_EQ(server.requestCount("/pypi/packages/cp311/b/beta/beta-2.0-cp311-cp311-linux_x86_64.whl"), 1);
    EXPECT_TRUE(log.contains("本地润色运行时下载源失败（127.0.0.1）：运行时下载校验失败：HTTP 404"));
}

TEST_F(Installer, WrongDigestCountsAsAFailedSource) {
    mirrorCorrupt << "alpha-1.0-py3-none-any.whl";
    LogCapture log;
    EXPECT_EQ(install(), std::nullopt);
    EXPECT_TRUE(log.contains("SHA-256 不符"));
    EXPECT_EQ(server.requestCount("/pypi/packages/py3/a/alpha/alpha-1.0-py3-none-any.whl"), 1);
}

TEST_F(Installer, EverySourceBadFailsWithTheLastError) {
    mirrorCorrupt << "gamma-0.1-py3-none-any.whl";
    officialMissing << "gamma-0.1-py3-none-any.whl";
    EXPECT_EQ(install(), QStringLiteral("运行时下载校验失败：HTTP 404"));
    EXPECT_FALSE(QFile::exists(root() + "/venv"));
    // Nothing unverified is left where a good file belongs.
    EXPECT_FALSE(QFile::exists(root() + "/wheels/gamma-0.1-py3-none-any.whl"));
    EXPECT_EQ(QDir(root()).entryList({"download-*"}, QDir::Files).size(), 0);
}

TEST_F(Installer, FailedPipKeepsTheOldVenvAndARerunFetchesNothingTwice) {
    QDir().mkpath(root() + "/venv");
    QFile old(root() + "/venv/old-marker");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    qputenv("FAKE_PIP_EXIT", "1");
    LogCapture log;
    EXPECT_EQ(install(), QStringLiteral("运行时安装步骤失败：pip（退出码 1）"));
    EXPECT_TRUE(QFile::exists(root() + "/venv/old-marker"));
    EXPECT_TRUE(log.contains("本地润色运行时 pip 失败："));
    EXPECT_TRUE(log.contains("pip failed"));
    const int fetched = server.requests().size();

    qunsetenv("FAKE_PIP_EXIT");
    EXPECT_EQ(install(), std::nullopt);
    EXPECT_EQ(server.requests().size(), fetched); // interpreter present, wheels verified in place
    EXPECT_FALSE(QFile::exists(root() + "/venv/old-marker"));
    expectMonotonicToOne();
    // The interpreter is not counted: the first step is the first wheel's share of the wheels.
    const double wheels = table.wheels[0].bytes + table.wheels[1].bytes + table.wheels[2].bytes;
    EXPECT_DOUBLE_EQ(progress.first(), table.wheels[0].bytes * 0.85 / wheels);
}

TEST_F(Installer, NoUsableSource) {
    qputenv("ZELK_MIRROR_BASE", "not a url");
    table.python.official = QUrl();
    EXPECT_EQ(install(), QStringLiteral("运行时下载校验失败：无可用下载源"));
}

TEST(RuntimeTables, MacOSChoosesOneBuildPerSystemVersion) {
    const RuntimeTable& mac = RuntimeTables::macOS();
    EXPECT_EQ(mac.wheels.size(), 38);
    struct Case { int major; qint64 bytes; const char* build; };
    for (const Case c : {Case{13, 103050615, "macosx_14_0"}, Case{14, 103050615, "macosx_14_0"},
                         Case{15, 103034972, "macosx_15_0"}, Case{25, 103034972, "macosx_15_0"},
                         Case{26, 136198882, "macosx_26_0"}}) {
        LocalRuntimeInstaller installer(mac, "/nowhere", c.major);
        EXPECT_EQ(installer.approxBytes(), c.bytes) << c.major;
        int mlx = 0;
        for (const auto& w : installer.wheels())
            if (w.file.startsWith("mlx-") || w.file.startsWith("mlx_metal-")) {
                ++mlx;
                EXPECT_TRUE(w.file.contains(c.build)) << w.file.toStdString();
            }
        EXPECT_EQ(mlx, 2);
    }
    EXPECT_EQ(mac.officialUrl(mac.wheels[0]).toString(),
              "https://files.pythonhosted.org/packages/py3/m/mlx_lm/mlx_lm-0.32.2-py3-none-any.whl");
    EXPECT_EQ(mac.artifact(mac.wheels[0]).mirrorPath, "local-polish/mac/wheels/mlx_lm-0.32.2-py3-none-any.whl");
}

TEST(RuntimeTables, ReleaseConfigurationIsCheckedBeforeUse) {
    const QByteArray good = R"({"platform":"linux-x86_64","python":{"file":"py.tar.gz","bytes":10,
        "sha256":"0000000000000000000000000000000000000000000000000000000000000000","mirrorPath":"p/py.tar.gz",
        "official":"https://example.org/py.tar.gz"},"wheelMirrorPrefix":"w/","wheels":[{"file":"a-1-py3-none-any.whl",
        "bytes":5,"sha256":"1111111111111111111111111111111111111111111111111111111111111111"}]})";
    const auto table = RuntimeTables::fromJson(good);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->wheels.size(), 1);
    EXPECT_EQ(table->python.official.host(), "example.org");
    QByteArray badDigest = good;
    badDigest.replace("1111111111111111111111111111111111111111111111111111111111111111", "abc");
    EXPECT_FALSE(RuntimeTables::fromJson(badDigest));
    QByteArray escaping = good;
    escaping.replace("a-1-py3-none-any.whl", "../../evil.whl");
    EXPECT_FALSE(RuntimeTables::fromJson(escaping));
    EXPECT_FALSE(RuntimeTables::fromJson("[]"));
}

} // namespace
