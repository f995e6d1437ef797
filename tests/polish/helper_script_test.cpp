#include "engine_harness.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

using namespace zelk;
using namespace zelk::test;
using Response = LoopbackHttpServer::Response;

namespace {

// The shipped helper script with its model swapped for a deterministic stand-in.
class HelperScript : public ::testing::Test {
protected:
    void SetUp() override {
        const QString wrapper = h.root() + "/standin_helper.py";
        QFile f(wrapper);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("import sys\nsys.path.insert(0, \"" + (sourceDir() + "/resources").toUtf8() + "\")\n"
                "import polish_helper as helper\n"
                "helper.load_model = lambda: 'stand-in'\n"
                "def run_model(model, text, tone, tone_text):\n"
                "    yield text[:3]\n"
                "    yield text[3:] + ('（' + tone_text + '）' if tone_text else '') + '。'\n"
                "helper.run_model = run_model\n"
                "helper.main()\n");
        f.close();
        h.installRuntime();
        h.startWith(wrapper);
        qputenv("ZELK_MIRROR_BASE", (server.baseUrl().toString() + "/mirror").toUtf8());
        server.setHandler([this](const LoopbackHttpServer::Request& r) {
            const QString prefix = "/mirror/local-polish/models/gemma-4-e2b-it-4bit/";
            if (!r.path.startsWith(prefix) || !files.contains(r.path.mid(prefix.size())))
                return Response::withStatus(404);
            return Response::bytes(files.value(r.path.mid(prefix.size())));
        });
    }
    void TearDown() override { qunsetenv("ZELK_MIRROR_BASE"); }

    void publishModel(bool corruptWeights) {
        files["config.json"] = R"({"model_type":"stand-in"})";
        files["model.safetensors"] = QByteArray(200'000, 'w');
        QJsonArray list;
        for (const char* name : {"config.json", "model.safetensors"}) {
            QByteArray content = files[name];
            const QString digest = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
            list.append(QJsonObject{{"name", name}, {"bytes", content.size()}, {"sha256", digest}});
        }
        if (corruptWeights)
            files["model.safetensors"][10] = 'x';
        files["manifest.json"] = QJsonDocument(QJsonObject{{"files", list}}).toJson();
    }

    TestHome home;
    VirtualClock clock;
    EngineHarness h{clock};
    LoopbackHttpServer server;
    QHash<QString, QByteArray> files;
};

TEST_F(HelperScript, SpeaksTheProtocol) {
    h.installModel();
    EXPECT_EQ(h.polish(QStringLiteral("今天开会讨论"), QStringLiteral("formal"), QStringLiteral("客气")),
              QStringLiteral("今天开会讨论（客气）。"));
    EXPECT_EQ(h.deltas, (QStringList{QStringLiteral("今天开"), QStringLiteral("会讨论（客气）。")}));
    EXPECT_EQ(h.polish(QStringLiteral("第二句话")), QStringLiteral("第二句话。"));
    h.engine->shutdown(QStringLiteral("test"));
    EXPECT_TRUE(waitUntil([&] { return h.engine->findChildren<QProcess*>().isEmpty(); }));
}

TEST_F(HelperScript, DownloadsTheModelFromTheMirror) {
    publishModel(false);
    QList<double> progress;
    h.engine->setProgressHandler([&](double p) { progress.append(p); });
    h.engine->startDownload();
    EXPECT_EQ(h.engine->stateLabel(), QStringLiteral("downloading"));
    ASSERT_TRUE(waitUntil([&] { return h.engine->stateLabel() == QLatin1String("ready"); }, 10'000));
    EXPECT_EQ(progress.last(), 1.0);
    QFile weights(h.engine->modelDir() + "/model.safetensors");
    ASSERT_TRUE(weights.open(QIODevice::ReadOnly));
    EXPECT_EQ(weights.readAll(), files["model.safetensors"]);
}

TEST_F(HelperScript, DamagedModelFileFailsTheDownloadAndLeavesNoModel) {
    publishModel(true);
    h.engine->startDownload();
    ASSERT_TRUE(waitUntil([&] { return h.engine->lastDownloadFailed(); }, 10'000));
    EXPECT_EQ(h.engine->stateLabel(), QStringLiteral("failed"));
    EXPECT_FALSE(QFile::exists(h.engine->modelDir() + "/config.json"));
}

} // namespace
